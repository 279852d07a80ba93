#pragma once

// How the manager session stands, as the console reports it.
enum class ManagerSessionState
{
    Disconnected,
    LoggedIn,
    Refused
};
