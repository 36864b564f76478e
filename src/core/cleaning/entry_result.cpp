#include "core/cleaning/entry_result.h"

#include <cstring>

namespace clarivex::cleaning {

EntryResult EntryResult::failed(int error, const QString &context)
{
    const QString text = QString::fromLocal8Bit(std::strerror(error));
    return {error, context.isEmpty() ? text : context + QStringLiteral(": ") + text, {}};
}

} // namespace clarivex::cleaning
