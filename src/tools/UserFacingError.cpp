// The user's text for any exception, user-facing or not.
#include "UserFacingError.h"

QString describeError(const std::exception_ptr &error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const UserFacingError &userFacing) {
        return userFacing.errorDescription();
    } catch (const std::exception &other) {
        return QString::fromLocal8Bit(other.what());
    } catch (...) {
    }
    return QStringLiteral("Ein unbekannter Fehler ist aufgetreten.");
}
