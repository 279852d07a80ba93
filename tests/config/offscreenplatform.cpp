#include <QByteArray>

// These widget tests never need a display. ctest runs them offscreen, but it
// also runs the executable once at build time to list the cases, outside the
// tests' environment: without a display that would abort. So, unless the
// caller chose a platform, offscreen it is, before the application starts.
namespace {

[[maybe_unused]] const bool offscreenUnlessChosen = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    return true;
}();

} // namespace
