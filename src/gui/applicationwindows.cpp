#include "gui/applicationwindows.h"

#include "gui/agendasettings.h"
#include "gui/desktopintegration.h"
#include "gui/dialwindow.h"
#include "gui/mainwindow.h"
#include "gui/managerconsole.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

constexpr QPoint DialWindowPosition(298, 198);

void centreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->geometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

} // namespace

ApplicationWindows::ApplicationWindows()
    : m_form1(std::make_unique<TForm1>()), m_form2(std::make_unique<TForm2>()), m_form3(std::make_unique<TForm3>()),
      m_form5(std::make_unique<TForm5>())
{
    m_form1->attachWindows(m_form2.get(), m_form3.get(), m_form5.get());
    m_desktop = std::make_unique<DesktopIntegration>(m_form1.get(), m_form2.get(), m_form3.get(), m_form5.get());
    centreOnScreen(m_form2.get());
    m_form5->move(DialWindowPosition);
}

ApplicationWindows::~ApplicationWindows()
{
    // The cards of the main window point at the other windows: they go first,
    // and the console must not reach the card list afterwards. What follows
    // the cards goes before them.
    m_desktop.reset();
    m_form1.reset();
    m_form2->callCards = nullptr;
}
