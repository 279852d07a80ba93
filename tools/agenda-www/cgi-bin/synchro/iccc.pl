0491234500=Accueil
0491234501=Service commercial
0491234502=Support technique
0491234503=Comptabilité
0491234504=Direction générale
