#include "app/ApplicationErrors.h"

#include <QtGlobal>

namespace vardocle {

namespace {

TErrorDisplay& Display() {
    static TErrorDisplay display;
    return display;
}

} // namespace

void SetErrorDisplay(TErrorDisplay display) {
    Display() = std::move(display);
}

void ShowError(const std::exception& error) {
    ShowErrorMessage(QString::fromUtf8(error.what()));
}

void ShowErrorMessage(const QString& message) {
    if (Display())
        Display()(message);
    else
        qWarning("%s", qPrintable(message));
}

} // namespace vardocle
