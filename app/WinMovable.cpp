#include "app/WinMovable.h"

#include <QMouseEvent>
#include <QWidget>

WinMovable::WinMovable(QWidget *target)
    : m_target(target)
{
    if (target)
        target->installEventFilter(this);
}

bool WinMovable::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_target)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        onPress(mouse->position().toPoint(), mouse->button() == Qt::LeftButton);
        break;
    }
    case QEvent::MouseMove:
        onMove(static_cast<QMouseEvent *>(event)->position().toPoint());
        break;
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        break;
    default:
        break;
    }
    return false;
}

void WinMovable::onPress(const QPoint &pos, bool leftButton)
{
    m_pressPos = pos;
    m_dragging = leftButton;
}

// The press point stays under the cursor: the window moves by however far the
// cursor has travelled from it.
void WinMovable::onMove(const QPoint &pos)
{
    if (!m_dragging)
        return;
    m_target->move(m_target->pos() + (pos - m_pressPos));
}
