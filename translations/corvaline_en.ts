<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="fr_FR">
<context>
    <name>AutostartEntry</name>
    <message>
        <source>impossible de créer le dossier</source>
        <translation>the folder cannot be created</translation>
    </message>
    <message>
        <source>Impossible d&apos;écrire le démarrage avec la session dans %1 (%2)</source>
        <translation>Cannot write the session start-up entry to %1 (%2)</translation>
    </message>
    <message>
        <source>Impossible de retirer le démarrage avec la session de %1 (%2)</source>
        <translation>Cannot remove the session start-up entry %1 (%2)</translation>
    </message>
</context>
<context>
    <name>CallHistoryWindow</name>
    <message>
        <source>Historique</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Filtrer par numéro, nom ou ligne</source>
        <translation>Filter by number, name or line</translation>
    </message>
    <message>
        <source>Double-clic : le numéro va dans la fenêtre d&apos;appel</source>
        <translation>Double-click: the number goes to the dial window</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Sens</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>Numéro</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>Nom</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Ligne</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>État</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Durée</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>Fermer</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Manqué</source>
        <translation>Missed</translation>
    </message>
    <message>
        <source>Répondu</source>
        <translation>Answered</translation>
    </message>
    <message>
        <source>Sans réponse</source>
        <translation>Not answered</translation>
    </message>
    <message>
        <source>fr</source>
        <comment>the language of the dates</comment>
        <translation>en_GB</translation>
    </message>
    <message>
        <source>ddd dd/MM/yyyy HH:mm</source>
        <translation>ddd dd/MM/yyyy HH:mm</translation>
    </message>
    <message>
        <source>Entrant</source>
        <translation>Incoming</translation>
    </message>
    <message>
        <source>Sortant</source>
        <translation>Outgoing</translation>
    </message>
    <message>
        <source>%1 appels, dont %2 manqués</source>
        <translation>%1 calls, %2 of them missed</translation>
    </message>
</context>
<context>
    <name>CorvalineApplication</name>
    <message>
        <source>Erreur inconnue</source>
        <translation>Unknown error</translation>
    </message>
</context>
<context>
    <name>DesktopIntegration</name>
    <message>
        <source>Impossible d&apos;enregistrer l&apos;historique des appels dans %1 (%2)</source>
        <translation>Cannot save the call history to %1 (%2)</translation>
    </message>
</context>
<context>
    <name>IncomingCallNotice</name>
    <message>
        <source>Appel entrant</source>
        <translation>Incoming call</translation>
    </message>
    <message>
        <source>Numéro inconnu</source>
        <translation>Unknown number</translation>
    </message>
    <message>
        <source>
Ligne : </source>
        <translation>
Line: </translation>
    </message>
    <message>
        <source>Ouvrir l&apos;agenda</source>
        <translation>Open the agenda</translation>
    </message>
</context>
<context>
    <name>ManagerSessionStatus</name>
    <message>
        <source>(chiffrée)</source>
        <translation>(encrypted)</translation>
    </message>
    <message>
        <source>Corvaline : connecté</source>
        <translation>Corvaline: connected</translation>
    </message>
    <message>
        <source>à</source>
        <comment>connected to the PBX</comment>
        <translation>to</translation>
    </message>
    <message>
        <source>Corvaline : accès refusé</source>
        <translation>Corvaline: access refused</translation>
    </message>
    <message>
        <source>par</source>
        <comment>refused by the PBX</comment>
        <translation>by</translation>
    </message>
    <message>
        <source>Corvaline : déconnecté</source>
        <translation>Corvaline: disconnected</translation>
    </message>
    <message>
        <source>de</source>
        <comment>disconnected from the PBX</comment>
        <translation>from</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>&amp;Oui</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;Non</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>SessionCard</name>
    <message>
        <source>/ Attention Accès refusé</source>
        <translation>/ Warning: access refused</translation>
    </message>
    <message>
        <source>/ Attention Déconnecté</source>
        <translation>/ Warning: disconnected</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Afficher les options</source>
        <translation>Show the options</translation>
    </message>
    <message>
        <source>Connexion</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Poste</source>
        <translation>Extension</translation>
    </message>
    <message>
        <source>Indiquer votre numéro de Poste</source>
        <translation>Enter your extension number</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>Ok</translation>
    </message>
    <message>
        <source>Transparence</source>
        <translation>Transparency</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Orbanel</source>
        <translation>Orbanel</translation>
    </message>
    <message>
        <source>Asterisk</source>
        <translation>Asterisk</translation>
    </message>
    <message>
        <source>Quitter</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Lancer Orbanel sur votre navigateur</source>
        <translation>Open Orbanel in your browser</translation>
    </message>
    <message>
        <source>Simuler un appel (répondu) </source>
        <translation>Simulate a call (answered) </translation>
    </message>
    <message>
        <source>Simuler un appel (client - sonne)</source>
        <translation>Simulate a call (customer - ringing)</translation>
    </message>
    <message>
        <source>Historique</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Les derniers appels, manqués en rouge</source>
        <translation>The latest calls, missed ones in red</translation>
    </message>
    <message>
        <source>Afficher</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Appeler...</source>
        <translation>Call...</translation>
    </message>
    <message>
        <source>+ 1 autre appel</source>
        <translation>+ 1 more call</translation>
    </message>
    <message>
        <source>+ %1 autres appels</source>
        <translation>+ %1 more calls</translation>
    </message>
    <message>
        <source>Indiquer l&apos;adresse d&apos;Orbanel</source>
        <translation>Enter the address of Orbanel</translation>
    </message>
    <message>
        <source>Erreur ReceptionParametre</source>
        <translation>Error receiving the link</translation>
    </message>
</context>
<context>
    <name>TForm2</name>
    <message>
        <source>Manager</source>
        <translation>Manager</translation>
    </message>
    <message>
        <source>Connexion / Poste</source>
        <translation>Connection / Extension</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>&amp;Connecter</source>
        <translation>&amp;Connect</translation>
    </message>
    <message>
        <source>&amp;Déconnecter</source>
        <translation>&amp;Disconnect</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Context</translation>
    </message>
    <message>
        <source>Context: internal</source>
        <translation>Context: internal</translation>
    </message>
    <message>
        <source>Utiliser MD5</source>
        <translation>Use MD5</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>Poste</source>
        <translation>Extension</translation>
    </message>
    <message>
        <source>Numéro de poste ou adresse IP de ll&apos;ordinateur</source>
        <translation>Extension number or IP address of the computer</translation>
    </message>
    <message>
        <source>Action:</source>
        <translation>Action:</translation>
    </message>
    <message>
        <source>UserName:</source>
        <translation>UserName:</translation>
    </message>
    <message>
        <source>Secret:</source>
        <translation>Secret:</translation>
    </message>
    <message>
        <source>Maintenir appuyé pour voir le mot de passe</source>
        <translation>Hold down to see the password</translation>
    </message>
    <message>
        <source>Events: </source>
        <translation>Events: </translation>
    </message>
    <message>
        <source>Se loger</source>
        <translation>Log in</translation>
    </message>
    <message>
        <source>Maintenir la connexion</source>
        <translation>Keep the connection alive</translation>
    </message>
    <message>
        <source>Parameters: </source>
        <translation>Parameters: </translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>Minutes</translation>
    </message>
    <message>
        <source>Asterisk</source>
        <translation>Asterisk</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Moderne : Asterisk 12 à 22, SIP ou PJSIP. Classique : Asterisk 1.4 à 11, SIP.</source>
        <translation>Moderne: Asterisk 12 to 22, SIP or PJSIP. Classique: Asterisk 1.4 to 11, SIP.</translation>
    </message>
    <message>
        <source>Poste en</source>
        <translation>Extension on</translation>
    </message>
    <message>
        <source>Technologie du poste pour les appels passés (mode moderne)</source>
        <translation>Technology of the extension for placed calls (modern mode)</translation>
    </message>
    <message>
        <source>Inscrire les événements dans un fichier journal</source>
        <translation>Write the events to a journal file</translation>
    </message>
    <message>
        <source>Fermer</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Le certificat du PBX %1 n&apos;est pas reconnu.
Empreinte SHA-256 : %2

Faire confiance à ce certificat ?</source>
        <translation>The certificate of the PBX %1 is not recognised.
SHA-256 fingerprint: %2

Trust this certificate?</translation>
    </message>
    <message>
        <source>TLS</source>
        <translation>TLS</translation>
    </message>
</context>
<context>
    <name>TForm3</name>
    <message>
        <source>Orbanel</source>
        <translation>Orbanel</translation>
    </message>
    <message>
        <source>Adresse IP Orbanel (exemple :  http://192.168.0.1)</source>
        <translation>Orbanel IP address (example:  http://192.168.0.1)</translation>
    </message>
    <message>
        <source>Agenda</source>
        <translation>Agenda</translation>
    </message>
    <message>
        <source>Accès automatique à l&apos;agenda client</source>
        <translation>Open the customer&apos;s agenda automatically</translation>
    </message>
    <message>
        <source>Liaison sur SDA</source>
        <translation>Link on the DID</translation>
    </message>
    <message>
        <source>Appel sortant</source>
        <translation>Outgoing call</translation>
    </message>
    <message>
        <source>Votre numéro sera caché lors d&apos;un appel numéroté à partir de l&apos;agenda </source>
        <translation>Your number is hidden on a call dialled from the agenda </translation>
    </message>
    <message>
        <source>Masquer le numéro (appel patient)</source>
        <translation>Hide the number (patient call)</translation>
    </message>
    <message>
        <source>Ajout du zéro ou autre pour sortir</source>
        <translation>Add the zero or other outside-line prefix</translation>
    </message>
    <message>
        <source>Ajout du code affaire</source>
        <translation>Add the business code</translation>
    </message>
    <message>
        <source>Appel entrant</source>
        <translation>Incoming call</translation>
    </message>
    <message>
        <source>Afficher le numéro de l&apos;appelant</source>
        <translation>Show the caller&apos;s number</translation>
    </message>
    <message>
        <source>Afficher le temps de communication</source>
        <translation>Show the talk time</translation>
    </message>
    <message>
        <source>Une notification du bureau signale chaque appel qui sonne</source>
        <translation>A desktop notification announces every ringing call</translation>
    </message>
    <message>
        <source>Notifier les appels entrants</source>
        <translation>Notify incoming calls</translation>
    </message>
    <message>
        <source>Le programme démarre à l&apos;ouverture de votre session de bureau</source>
        <translation>The program starts when you log in to your desktop</translation>
    </message>
    <message>
        <source>Démarrer avec la session</source>
        <translation>Start with the session</translation>
    </message>
    <message>
        <source>Commandes</source>
        <translation>Commands</translation>
    </message>
    <message>
        <source>Exécuter les commandes</source>
        <translation>Run the commands</translation>
    </message>
    <message>
        <source>Rafraichir SDA</source>
        <translation>Refresh DIDs</translation>
    </message>
    <message>
        <source>Charger les Noms depuis le fichier sda.ini</source>
        <translation>Load the names from the file sda.ini</translation>
    </message>
    <message>
        <source>Fermer</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Erreur de création de fichier sda.ini</source>
        <translation>Error creating the file sda.ini</translation>
    </message>
    <message>
        <source>%1 non remplacé : %2</source>
        <translation>%1 not replaced: %2</translation>
    </message>
    <message>
        <source>connexion interrompue (%1, erreur %2)</source>
        <translation>connection interrupted (%1, error %2)</translation>
    </message>
    <message>
        <source>réponse sans ligne de statut</source>
        <translation>answer without a status line</translation>
    </message>
    <message>
        <source>réponse de statut %1</source>
        <translation>answer with status %1</translation>
    </message>
    <message>
        <source>réponse incomplète (%1 octets sur %2)</source>
        <translation>incomplete answer (%1 bytes of %2)</translation>
    </message>
    <message>
        <source>liste de plus de %1 Mio</source>
        <translation>list larger than %1 MiB</translation>
    </message>
    <message>
        <source>Rafraichissement en cours...</source>
        <translation>Refreshing...</translation>
    </message>
    <message>
        <source>Pas d&apos;adresse d&apos;Orbanel : rien à rafraichir</source>
        <translation>No Orbanel address: nothing to refresh</translation>
    </message>
    <message>
        <source>SDA : %1, annuaire : %2</source>
        <translation>DIDs: %1, directory: %2</translation>
    </message>
    <message>
        <source>Erreur : </source>
        <translation>Error: </translation>
    </message>
</context>
<context>
    <name>TForm5</name>
    <message>
        <source>Appel</source>
        <translation>Call</translation>
    </message>
    <message>
        <source>Appeler</source>
        <translation>Call</translation>
    </message>
    <message>
        <source>Transfert</source>
        <translation>Transfer</translation>
    </message>
    <message>
        <source>Transfert &lt;-&gt;</source>
        <translation>Transfer &lt;-&gt;</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Fermer</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Erreur sur appel </source>
        <translation>Error on call </translation>
    </message>
    <message>
        <source>Cliquer sur l&apos;appel a transférer</source>
        <translation>Click the call to transfer</translation>
    </message>
    <message>
        <source>Erreur sur transfert </source>
        <translation>Error on transfer </translation>
    </message>
    <message>
        <source>Cliquer sur les appels a transférer</source>
        <translation>Click the calls to transfer</translation>
    </message>
</context>
<context>
    <name>TFrame4</name>
    <message>
        <source>Supprimer de la liste</source>
        <translation>Remove from the list</translation>
    </message>
    <message>
        <source>Transfert</source>
        <translation>Transfer</translation>
    </message>
    <message>
        <source>Client</source>
        <translation>Customer</translation>
    </message>
    <message>
        <source>Raccrocher</source>
        <translation>Hang up</translation>
    </message>
    <message>
        <source>Supprimer cet appel de la liste</source>
        <translation>Remove this call from the list</translation>
    </message>
    <message>
        <source>Poste : </source>
        <translation>Extension: </translation>
    </message>
    <message>
        <source>Poste :</source>
        <translation>Extension:</translation>
    </message>
    <message>
        <source>Appel : </source>
        <translation>Call: </translation>
    </message>
    <message>
        <source>Indiquer l&apos;adresse d&apos;Orbanel</source>
        <translation>Enter the address of Orbanel</translation>
    </message>
</context>
<context>
    <name>TSvgEditIni</name>
    <message>
        <source>Impossible d&apos;enregistrer les réglages dans %1 (%2)</source>
        <translation>Cannot save the settings to %1 (%2)</translation>
    </message>
</context>
</TS>
