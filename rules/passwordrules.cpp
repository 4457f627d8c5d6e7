#include "rules/passwordrules.h"

namespace PasswordRules
{

Verdict CheckPasswordChange(const QString& typedCurrent, const QString& loginPassword,
                            const QString& newPassword, const QString& confirmPassword)
{
    if (typedCurrent != loginPassword)
        return {kWrongCurrentMessage, Focus::CurrentPassword};
    if (newPassword != confirmPassword || newPassword.isEmpty())
        return {kReEnterMessage, Focus::NewPassword};
    return {};
}

} // namespace PasswordRules
