#pragma once

#include <memory>

class DesktopIntegration;
class TForm1;
class TForm2;
class TForm3;
class TForm5;

// The program's four windows, created once in their fixed order (main window,
// manager console, agenda settings, dial window) so that each settings pass
// sees the windows before it, and linked to each other, with what the desktop
// shows of the calls (notifications, tray icon, history). They live until this
// object goes.
class ApplicationWindows
{
public:
    ApplicationWindows();
    ~ApplicationWindows();

    ApplicationWindows(const ApplicationWindows&) = delete;
    ApplicationWindows& operator=(const ApplicationWindows&) = delete;

    TForm1* form1() const { return m_form1.get(); }
    TForm2* form2() const { return m_form2.get(); }
    TForm3* form3() const { return m_form3.get(); }
    TForm5* form5() const { return m_form5.get(); }
    DesktopIntegration* desktop() const { return m_desktop.get(); }

private:
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TForm2> m_form2;
    std::unique_ptr<TForm3> m_form3;
    std::unique_ptr<TForm5> m_form5;
    std::unique_ptr<DesktopIntegration> m_desktop;
};
