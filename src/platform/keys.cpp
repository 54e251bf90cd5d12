#include "platform/keys.h"

namespace platform {

QString combinationName(unsigned modifiers, QChar key, const std::array<const char *, 4> &names)
{
    constexpr std::array<unsigned, 4> order{MOD_CONTROL, MOD_ALT, MOD_SHIFT, MOD_WIN};
    QString name;
    for (size_t i = 0; i < order.size(); ++i) {
        if (modifiers & order[i])
            name += QLatin1String(names[i]) + QLatin1Char('+');
    }
    return name + key;
}

} // namespace platform
