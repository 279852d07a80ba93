#pragma once

#include "config/namelist.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TSvgEditIni;

namespace Ui {
class TForm3;
}

// The agenda settings window ("Orbanel"): address of the agenda server, the
// options of incoming and outgoing calls, and the two name lists that label
// the call cards. Other windows read its controls at the moment of use; its
// values are kept in "serie.ini" under the section "Form3". Closing it only
// hides it.
class TForm3 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    Ui::TForm3* ui;
    TSvgEditIni* SvgEditIni1;

    // The controls, by their names (owned by the window).
    QLabel* Label1;
    QLineEdit* adresse_ob;
    QGroupBox* GroupBox1; // "Agenda"
    QCheckBox* acces_auto;
    QCheckBox* sda_liaison;
    QGroupBox* GroupBox2; // "Appel sortant"
    QCheckBox* Check_masque;
    QLineEdit* edit_3651;
    QCheckBox* Check_0;
    QLineEdit* edit_zero;
    QCheckBox* Check_codea;
    QGroupBox* GroupBox3; // "Appel entrant"
    QCheckBox* num_app;
    QCheckBox* num_temps;
    QGroupBox* GroupBox4; // "Commandes", hidden
    QCheckBox* exe_commande;
    QPushButton* Button2; // "Rafraichir SDA"
    QPushButton* Button3; // hidden
    QPushButton* Button4; // hidden
    QPushButton* Button5; // "Fermer"

    // SDA number -> line label ("sda.ini") and telephone number -> name ("tel.ini").
    NameList ValueListEditor1;
    NameList ValueListEditor2;

    // Loads "sda.ini" then "tel.ini" from the data folder, each only when the
    // file exists. A file that cannot be read shows "Erreur de création de
    // fichier sda.ini" and leaves that list as it was.
    void reloadNameLists();

    // "Rafraichir SDA": the name lists come again from "sda.ini" and "tel.ini".
    void Button2Click();
    void Button5Click();
};
