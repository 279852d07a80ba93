#pragma once

#include <ostream>

// The logins over TLS that the console's tests go through, against any PBX
// behind a self-signed certificate for 127.0.0.1 ("this" certificate; the
// test has another one).
enum class Kept // what serie.ini keeps for 127.0.0.1 before the login
{
    Nothing,
    ThisCertificate,
    AnotherCertificate,
};

struct ManagerTlsCase
{
    const char* name;
    bool md5;
    Kept kept;
    bool answer;         // to the question, if one comes
    int questions;       // how many come
    bool loggedIn;       // the session logs in
    const char* refusal; // the memo's line when it does not

    // Whether serie.ini keeps this certificate's fingerprint afterwards.
    bool keepsThisCertificate() const { return kept == Kept::ThisCertificate || (questions > 0 && answer); }
};

// The case's name, which also names it in the test's name (PrintToStringParamName).
inline void PrintTo(const ManagerTlsCase& login, std::ostream* out)
{
    *out << login.name;
}

inline const ManagerTlsCase ManagerTlsCases[] = {
    {"PlainLoginAskedYes", false, Kept::Nothing, true, 1, true, ""},
    {"Md5LoginAskedYes", true, Kept::Nothing, true, 1, true, ""},
    {"KeptFingerprintNotAsked", false, Kept::ThisCertificate, false, 0, true, ""},
    {"AskedNo", false, Kept::Nothing, false, 1, false, "*** Certificat du PBX non approuvé : connexion fermée ***"},
    {"ChangedCertificateRefused", false, Kept::AnotherCertificate, false, 0, false,
     "*** Le certificat du PBX a changé : connexion refusée"},
};
