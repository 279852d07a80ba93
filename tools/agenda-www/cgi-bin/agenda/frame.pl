<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="windows-1252">
<title>Orbanel - Fiche appelant</title>
<style>
body { font-family: sans-serif; margin: 2em; color: #222; }
h1 { font-size: 1.4em; }
dt { font-weight: bold; margin-top: .6em; }
a.appel { display: inline-block; margin-top: 1em; padding: .3em .8em; border: 1px solid #36c; border-radius: 4px; }
</style>
</head>
<body>
<h1>Fiche appelant</h1>
<dl>
<dt>Num&eacute;ro</dt><dd id="numero">-</dd>
<dt>Ligne appel&eacute;e (SDA)</dt><dd id="sda">-</dd>
</dl>
<p><a class="appel" id="rappeler" href="numero:">Rappeler avec Corvaline</a></p>
<p><a href="/cgi-bin/agenda/bon.pl">Retour &agrave; l'agenda</a></p>
<script>
// The server is a plain file server: the page reads its own query string.
var query = new URLSearchParams(window.location.search);
var numero = query.get("number") || "";
var sda = query.get("sda") || query.get("base") || "";
document.getElementById("numero").textContent = numero || "-";
document.getElementById("sda").textContent = sda || "-";
document.getElementById("rappeler").href = "numero:" + numero;
</script>
</body>
</html>
