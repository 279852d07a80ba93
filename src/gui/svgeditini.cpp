#include "gui/svgeditini.h"

#include "config/cp1252.h"
#include "config/datafolder.h"
#include "config/inifile.h"
#include "gui/messagebox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QList>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

namespace {

// Windows that carry a component, in the order their first component was
// created; destroyed windows turn into null entries and are skipped.
QList<QPointer<QWidget>>& registeredWindows()
{
    static QList<QPointer<QWidget>> windows;
    return windows;
}

// The first component of the process sits on the main window and chains its close.
bool& mainFormChained()
{
    static bool chained = false;
    return chained;
}

void registerWindow(QWidget* window)
{
    auto& windows = registeredWindows();
    windows.removeAll(QPointer<QWidget>());
    if (!windows.contains(window))
        windows.append(window);
}

QString settingsPath()
{
    return DataFolder::filePath(QStringLiteral("serie.ini"));
}

// Widgets Qt creates inside composite controls (the line edit of a spin box,
// the viewport of a scroll area) are not the window's own controls.
bool isOwnControl(const QWidget* widget)
{
    const QString name = widget->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

// The window's controls in creation order, depth first as they nest in panels
// and group boxes. Another window, or a widget that keeps its own settings,
// is not walked into.
void collectControls(const QObject* parent, QList<QPointer<QWidget>>& controls)
{
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow() || TSvgEditIni::HasSvgEditIni(widget))
            continue;
        if (isOwnControl(widget))
            controls.append(widget);
        collectControls(widget, controls);
    }
}

// The flags of the window's component, copied at each control: a change
// handler may destroy the component while its window is being walked.
struct KindFlags
{
    bool edit;
    bool checkBox;
    bool radioButton;
    bool spinEdit;
    bool comboBox;
};

// One control's restore or save must never stop the walk: whatever a change
// handler throws is dropped and the next control is handled.
template <typename Action> void swallowingErrors(Action&& action)
{
    try {
        action();
    } catch (...) {
    }
}

// A missing key checks a box, as files have always been read. A box added
// after settings files were already in use is marked in its form with this
// property, so that an older file leaves it as designed and does not turn the
// new option on.
bool keepsDesignWhenMissing(const QCheckBox* check)
{
    return check->property("keepsDesignWhenMissing").toBool();
}

// The four kinds are unrelated classes, so a control is at most one of them.
void loadControl(IniFile& ini, const QByteArray& section, KindFlags flags, QWidget* control)
{
    const QByteArray key = Cp1252::fromUnicode(control->objectName());
    swallowingErrors([&] {
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            if (!flags.edit)
                return;
            const QByteArray value = ini.readString(section, key, TSvgEditIni::MissingValue);
            if (value != TSvgEditIni::MissingValue)
                edit->setText(Cp1252::toUnicode(value));
        } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
            if (!flags.checkBox || (keepsDesignWhenMissing(check) && !ini.hasKey(section, key)))
                return;
            check->setChecked(ini.readInteger(section, key, 1) != 0);
        } else if (auto* radio = qobject_cast<QRadioButton*>(control)) {
            if (flags.radioButton)
                radio->setChecked(ini.readInteger(section, key, 1) != 0);
        } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
            if (flags.spinEdit)
                spin->setValue(ini.readInteger(section, key, 0));
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            // A choice list keeps its designed choice unless the file names one
            // of its items.
            if (!flags.comboBox)
                return;
            const QByteArray value = ini.readString(section, key, TSvgEditIni::MissingValue);
            if (const int index = combo->findText(Cp1252::toUnicode(value)); index >= 0)
                combo->setCurrentIndex(index);
        }
    });
}

// A line edit shows line breaks (pasted ones, say) as blanks; they are stored
// as shown, since a break inside the value would split the settings line and
// could even start a section or key of its own.
QByteArray editValue(const QLineEdit* edit)
{
    QByteArray value = Cp1252::fromUnicode(edit->text());
    for (char& c : value) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return value;
}

void saveControl(IniFile& ini, const QByteArray& section, KindFlags flags, QWidget* control)
{
    // Only names with an underscore are written; the others are read only.
    if (!control->objectName().contains(u'_'))
        return;
    const QByteArray key = Cp1252::fromUnicode(control->objectName());
    const auto checkedText = [](bool checked) { return checked ? QByteArrayLiteral("1") : QByteArrayLiteral("0"); };
    swallowingErrors([&] {
        if (auto* edit = qobject_cast<QLineEdit*>(control); edit && flags.edit)
            ini.writeString(section, key, editValue(edit));
        else if (auto* check = qobject_cast<QCheckBox*>(control); check && flags.checkBox)
            ini.writeString(section, key, checkedText(check->isChecked()));
        else if (auto* radio = qobject_cast<QRadioButton*>(control); radio && flags.radioButton)
            ini.writeString(section, key, checkedText(radio->isChecked()));
        else if (auto* spin = qobject_cast<QSpinBox*>(control); spin && flags.spinEdit)
            ini.writeInteger(section, key, spin->value());
        else if (auto* combo = qobject_cast<QComboBox*>(control); combo && flags.comboBox)
            ini.writeString(section, key, Cp1252::fromUnicode(combo->currentText()));
    });
}

using ControlAction = void (*)(IniFile&, const QByteArray&, KindFlags, QWidget*);

// One pass over every window with a component and every control of it, with
// the settings file open for the whole pass and written once at its end.
// Empty, or why the file could not be written.
QString walkWindows(ControlAction action)
{
    IniFile ini(settingsPath());
    const QList<QPointer<QWidget>> windows = registeredWindows();
    for (const QPointer<QWidget>& window : windows) {
        if (!window || !TSvgEditIni::HasSvgEditIni(window) || window->objectName().isEmpty())
            continue;
        const QByteArray section = Cp1252::fromUnicode(window->objectName());
        QList<QPointer<QWidget>> controls;
        collectControls(window, controls);
        for (const QPointer<QWidget>& control : std::as_const(controls)) {
            // A change handler run by an earlier control may have destroyed
            // this one, or the whole window with its component.
            const TSvgEditIni* component = window ? TSvgEditIni::FindSvgEditIni(window) : nullptr;
            if (!control || !component)
                continue;
            action(ini, section,
                   {component->SauveEdit, component->SauveCheckBox, component->SauveRadioButton,
                    component->SauveSpinEdit, component->SauveComboBox},
                   control);
        }
    }
    return ini.flush() ? QString() : ini.errorString();
}

} // namespace

const QByteArray TSvgEditIni::MissingValue = QByteArrayLiteral("\x25\xF9\x40\xE0\x2A\xA3");

TSvgEditIni::TSvgEditIni(QWidget* owner) : QObject(owner)
{
    registerWindow(owner);
    if (!mainFormChained()) {
        mainFormChained() = true;
        m_hookedForm = owner;
        owner->installEventFilter(this);
    }
}

TSvgEditIni::~TSvgEditIni() = default;

void TSvgEditIni::Loaded()
{
    LoadForms();
}

void TSvgEditIni::LoadForms()
{
    walkWindows(&loadControl);
}

bool TSvgEditIni::SaveForms()
{
    const QString error = walkWindows(&saveControl);
    if (error.isEmpty()) {
        m_saveError.clear();
        return true;
    }
    m_saveError = tr("Impossible d'enregistrer les réglages dans %1 (%2)").arg(settingsPath(), error);
    emit settingsNotSaved(m_saveError);
    return false;
}

TSvgEditIni* TSvgEditIni::FindSvgEditIni(QWidget* window)
{
    if (!window)
        return nullptr;
    const auto components = window->findChildren<TSvgEditIni*>(Qt::FindDirectChildrenOnly);
    return components.isEmpty() ? nullptr : components.last();
}

bool TSvgEditIni::HasSvgEditIni(QWidget* window)
{
    return FindSvgEditIni(window) != nullptr;
}

void TSvgEditIni::ResetForTests()
{
    mainFormChained() = false;
    registeredWindows().clear();
}

bool TSvgEditIni::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_hookedForm && event->type() == QEvent::Close && !m_inChainedClose) {
        MainFormClose(event);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TSvgEditIni::MainFormClose(QEvent* closeEvent)
{
    // The window's own close handling runs first and decides whether the close
    // goes ahead (the event's accepted flag, which our caller then reads);
    // the settings are saved either way.
    const QPointer<TSvgEditIni> self(this);
    m_inChainedClose = true;
    QCoreApplication::sendEvent(m_hookedForm, closeEvent);
    if (!self)
        return;
    m_inChainedClose = false;
    // The changes of this run are lost once the program ends: the user hears
    // of it while the windows are still there.
    const bool saved = SaveForms();
    if (self && !saved)
        showMessage(m_saveError);
    if (self)
        emit mainFormClosed();
}
