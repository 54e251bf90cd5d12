#pragma once

#include <QProcessEnvironment>
#include <QRect>
#include <QTemporaryDir> // so the bus is not copied

#include <optional>

class DesktopSession;

// One node of the accessibility tree: what a person sees of a window or a control.
struct Accessible
{
    QString role; // "alert", "push button", "label", "text", "combo box", ...
    QString name; // title, caption or label
    QString text; // what labels and editors hold
    QRect rect;   // on the screen
    bool showing = false;
    QList<Accessible> children;

    // This node or one below it, depth first, with the role and a name that the regular
    // expression matches (any name when empty).
    std::optional<Accessible> find(const QString &role, const QString &namePattern = {}) const;
    QList<Accessible> findAll(const QString &role, const QString &namePattern = {}) const;
};

// The accessibility bus of a desktop session: a session bus with the AT-SPI bus launcher on it,
// the environment that makes a Qt program publish its widgets there, and a reader of the tree.
// Everything it starts ends with the session.
class AccessibilityBus
{
public:
    explicit AccessibilityBus(DesktopSession &desktop);

    bool start();
    QString error() const { return failure; }
    // The display's environment with the bus, on which a Qt program publishes its widgets.
    QProcessEnvironment programEnvironment() const;

    // The application's tree, empty (no role) when it is not on the bus or cannot be read.
    Accessible application() const;
    // Polls the application's tree until a showing node matches.
    std::optional<Accessible> waitFor(const QString &role, const QString &namePattern,
                                      int timeoutMs = 10000) const;

private:
    DesktopSession &desktop;
    QTemporaryDir busDir;
    QString address;
    QString failure;
};
