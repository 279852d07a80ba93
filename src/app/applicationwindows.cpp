#include "applicationwindows.h"

#include "agendasettings.h"
#include "dialwindow.h"
#include "mainwindow.h"
#include "managerconsole.h"

ApplicationWindows::ApplicationWindows()
    : m_form1(std::make_unique<TForm1>()), m_form2(std::make_unique<TForm2>()), m_form3(std::make_unique<TForm3>()),
      m_form5(std::make_unique<TForm5>())
{
    m_form1->AttachWindows(m_form2.get(), m_form3.get(), m_form5.get());
}

ApplicationWindows::~ApplicationWindows()
{
    // The cards of the main window point at the other windows: they go first.
    m_form1.reset();
}
