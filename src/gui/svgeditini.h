#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;
class IniFile;

// The form settings component: a window that carries one keeps the values of
// its input controls in "serie.ini" (section = the window's object name, key =
// the control's object name). Values are restored while the window is created
// (Loaded) and written back when the main window closes; when they cannot be
// written, the user is told in a message box before the program ends.
//
// The first instance ever created in the process sits on the main window: it
// chains that window's close so that the settings are saved once the window's
// own close handling has run. Later instances chain nothing.
//
// Both passes walk every window that carries a component, in the order the
// windows were registered, and use the flags of the last component of each
// window. A control takes part when its kind's flag is set: QLineEdit (edit),
// QCheckBox, QRadioButton, QSpinBox (spin edit, never an edit), QComboBox (its
// current text, restored only when it names one of its items). A missing key
// checks a box, unless the box carries the property keepsDesignWhenMissing
// (set in its form): then it stays as designed. Only controls whose name holds
// an underscore are ever written; all are read.
class TSvgEditIni : public QObject
{
    Q_OBJECT

public:
    // The six bytes passed as the default when an edit's key is read; getting
    // them back means the key is absent and the designed text stays.
    static const QByteArray MissingValue;

    explicit TSvgEditIni(QWidget* owner);
    ~TSvgEditIni() override;

    bool SauveEdit = true;
    bool SauveDateTimePicker = true;
    bool SauveCheckBox = true;
    bool SauveRadioButton = true;
    bool SauveSpinEdit = true;
    bool SauveMemo = false;
    bool SauveRichEdit = false;
    bool SauveComboBox = false;
    bool SauveListBox = false;
    bool SauveStringGrid = false;

    // Called by the window right after setupUi() and after setting the flags.
    void Loaded();
    void LoadForms();
    // False when "serie.ini" could not be written; settingsNotSaved then
    // carries the text that tells the user why.
    bool SaveForms();

    // The window whose close this instance chained, or null.
    QWidget* HookedForm() const { return m_hookedForm; }

    // The last component among the window's own children; null when none.
    static TSvgEditIni* FindSvgEditIni(QWidget* window);
    static bool HasSvgEditIni(QWidget* window);

    // Makes the next instance behave as the first one of the process again
    // (it will chain its owner's close), and forgets the registered windows.
    static void ResetForTests();

signals:
    void settingsNotSaved(const QString& message);
    // The chained close of the main window is over: its own handling ran and
    // the settings were saved, or the user was told in a message box that
    // they could not be.
    void mainFormClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MainFormClose(QEvent* closeEvent);

    QPointer<QWidget> m_hookedForm;
    bool m_inChainedClose = false;
    QString m_saveError;
};
