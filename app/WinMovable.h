#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

// Lets a frameless window be dragged by its body with the left mouse button.
// It watches the widget's mouse events as an event filter and never consumes
// them. The owner keeps it alive, typically as a member bound to itself.
class WinMovable : public QObject
{
    Q_OBJECT
public:
    explicit WinMovable(QWidget *target);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onPress(const QPoint &pos, bool leftButton);
    void onMove(const QPoint &pos);

    QPointer<QWidget> m_target; // not owned
    QPoint m_pressPos;          // widget coordinates of the last press
    bool m_dragging = false;
};
