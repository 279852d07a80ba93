#pragma once

#include "config/namelist.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QLineEdit;
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
    // A name list larger than this is no name list: it is refused, and the
    // memory of the program is kept for its work.
    static constexpr qsizetype MaxNameListSize = qsizetype(32) << 20;
    // One download of a name list fails when not over after this long.
    static constexpr int NameListTimeoutMs = 120000;

    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    TSvgEditIni* SvgEditIni1;

    // The controls the main window and the call cards read at the moment of use.
    QLineEdit* adresse_ob;
    QCheckBox* acces_auto;
    QCheckBox* sda_liaison;
    QCheckBox* Check_masque;
    QLineEdit* edit_3651;
    QCheckBox* Check_0;
    QLineEdit* edit_zero;
    QCheckBox* Check_codea;
    QCheckBox* num_app;
    QCheckBox* num_temps;
    // Desktop notifications of ringing calls.
    QCheckBox* notif_appel;
    // The program starts with the user's desktop session (its XDG autostart
    // entry). Off until the user checks it.
    QCheckBox* demarrage_session;

    // SDA number -> line label ("sda.ini") and telephone number -> name ("tel.ini").
    NameList ValueListEditor1;
    NameList ValueListEditor2;

    // Loads "sda.ini" then "tel.ini" from the data folder, each only when the
    // file exists. A file that cannot be read, or is larger than
    // MaxNameListSize, shows "Erreur de création de fichier sda.ini" and
    // leaves that list as it was.
    void reloadNameLists();

    // The refresh: with an agenda address, downloads "sda.ini" then "tel.ini"
    // from the agenda server into the data folder, then loads both lists.
    // Does nothing without an address (empty or "http://"). A failed download
    // raises EHttpException, saying in French which list was not replaced and
    // why, and ends the refresh there once the lists are loaded from the files
    // as they are. Runs at start-up and behind "Rafraichir SDA".
    void Button2Click();
    // The downloads of the SDA list and of the telephone directory. A list
    // replaces its file only when the answer is whole (status 200, all of its
    // Content-Length, at most MaxNameListSize); otherwise the file stays as it
    // was and EHttpException is raised.
    void Button3Click();
    void Button4Click();
    void Button5Click();
    // Writes or removes the autostart entry as the box now says; when that
    // fails, the user is told why and the box shows what is on the disk.
    void demarrage_sessionClick(bool checked);

private:
    // "Rafraichir SDA" pressed: the refresh, with its outcome shown in the
    // window (the main window's error label is hidden).
    void refreshAtUsersRequest();
    void download(const QByteArray& path, const QString& fileName);

    std::unique_ptr<Ui::TForm3> ui;
};
