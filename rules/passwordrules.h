#pragma once

#include <QString>

// What the password page accepts before it asks the device for a new administrator password.
namespace PasswordRules
{

// Characters each password edit takes.
inline constexpr int kPasswordLimit = 30;

inline constexpr int kWrongCurrentMessage = 138;
inline constexpr int kReEnterMessage = 141;

enum class Focus { None, CurrentPassword, NewPassword };

struct Verdict {
    // The string-table message to show; 0 when the change may be sent.
    int messageId = 0;
    Focus focus = Focus::None;
    bool Accepted() const { return messageId == 0; }
};

// The typed current password must be the login's, exactly; the new one must be typed twice
// alike and not be empty. Nothing else is asked of it: it may even be the current one.
Verdict CheckPasswordChange(const QString& typedCurrent, const QString& loginPassword,
                            const QString& newPassword, const QString& confirmPassword);

} // namespace PasswordRules
