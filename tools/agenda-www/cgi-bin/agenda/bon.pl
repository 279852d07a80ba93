<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="windows-1252">
<title>Orbanel - Agenda</title>
<style>
body { font-family: sans-serif; margin: 2em; color: #222; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: .3em .8em; text-align: left; }
</style>
</head>
<body>
<h1>Agenda Orbanel</h1>
<p>Cliquer sur un num&eacute;ro pour l'appeler depuis votre poste avec Corvaline.</p>
<table>
<tr><th>Contact</th><th>Num&eacute;ro</th><th></th></tr>
<tr><td>Dupont Marie</td><td><a href="numero:0612345678">0612345678</a></td><td><a href="numero:p:0612345678">masqu&eacute;</a></td></tr>
<tr><td>Martin Transports</td><td><a href="numero:0478901234">0478901234</a></td><td><a href="numero:p:0478901234">masqu&eacute;</a></td></tr>
<tr><td>Cabinet Leroy</td><td><a href="numero:0491887766">0491887766</a></td><td><a href="numero:p:0491887766">masqu&eacute;</a></td></tr>
<tr><td>Boulangerie Lef&egrave;vre</td><td><a href="numero:0320456789">0320456789</a></td><td><a href="numero:p:0320456789">masqu&eacute;</a></td></tr>
<tr><td>Mairie de Saint-R&eacute;my</td><td><a href="numero:0145678901">0145678901</a></td><td><a href="numero:p:0145678901">masqu&eacute;</a></td></tr>
<tr><td>H&ocirc;tel des Platanes</td><td><a href="numero:0556677889">0556677889</a></td><td><a href="numero:p:0556677889">masqu&eacute;</a></td></tr>
</table>
<p><a href="/cgi-bin/agenda/frame.pl?base=0491234500&amp;number=0612345678">Exemple de fiche appelant</a></p>
</body>
</html>
