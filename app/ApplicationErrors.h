#pragma once
// The application's default error display: errors that no handler catches
// end here, the user sees their message and the program goes on.
#include <QString>

#include <exception>
#include <functional>

namespace vardocle {

using TErrorDisplay = std::function<void(const QString& message)>;

// The program sets the display once (a message box); without one the
// message goes to the log.
void SetErrorDisplay(TErrorDisplay display);
// Hands the error's message to the display.
void ShowError(const std::exception& error);

} // namespace vardocle
