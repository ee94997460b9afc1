#include "store/context.h"

#include "platform/prompter.h"
#include "store/database.h"

namespace kolva {

bool changeRefused(const AppContext& context, QWidget* parent, const QString& caption)
{
    if (!context.db.readOnly())
        return false;
    context.prompter.warn(parent, readOnlyMessage(context.db.userName()), caption);
    return true;
}

} // namespace kolva
