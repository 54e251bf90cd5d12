#pragma once

#include <QString>

#include <array>

namespace platform {

// Modifiers of a system-wide hot key.
inline constexpr unsigned MOD_ALT = 1;
inline constexpr unsigned MOD_CONTROL = 2;
inline constexpr unsigned MOD_SHIFT = 4;
inline constexpr unsigned MOD_WIN = 8;

// A combination as its reader writes it, for the backends' logs: the names of Ctrl, Alt, Shift and
// the logo key, in that order, each followed by '+', then the key.
QString combinationName(unsigned modifiers, QChar key, const std::array<const char *, 4> &names);

} // namespace platform
