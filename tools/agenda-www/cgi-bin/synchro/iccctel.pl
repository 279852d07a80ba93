0612345678=Dupont Marie
0478901234=Martin Transports
0491887766=Cabinet Leroy
0320456789=Boulangerie Lefèvre
0145678901=Mairie de Saint-Rémy
0556677889=Hôtel des Platanes
201=Secrétariat
202=Atelier
