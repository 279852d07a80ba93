#pragma once

#include <QString>

#include <functional>

// What the manager session reads of its settings, taken at the moment of use
// from wherever the user keeps them (the console's fields): every connect,
// login, keep-alive and hand-over asks again, so a field changed meanwhile
// counts from the next use on. Texts are as typed; the session turns them into
// the manager's code page where they go on the wire.
struct ManagerSessionSettings
{
    QString host; // name or dotted address; empty: no connection
    QString port;
    QString loginAction; // normally "Login"
    QString userName;
    QString secret;
    QString events; // the login's Events header
    bool md5Login = false;
    bool tls = false;     // the manager's TLS listener, its certificate checked for host
    bool modern = false;  // the modern interpretation (Asterisk 12 to 22), else the classic one
    QString technology;   // of the phone's channel in modern mode
    QString extension;    // the user's phone
    QString context;      // the dial plan's context for calls and transfers
    bool journal = false; // received text is shown and journaled
    QString keepAliveAction;
    QString keepAliveParameters;
};

using ManagerSessionSettingsSource = std::function<ManagerSessionSettings()>;
