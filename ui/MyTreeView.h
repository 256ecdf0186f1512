#pragma once

#include <QItemSelection>
#include <QTreeView>

// A tree view that tells its owner about selection changes and context-menu
// requests through signals, so the owner needs no subclass of its own.
class MyTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit MyTreeView(QWidget *parent = nullptr);

signals:
    // Emitted with the same selections before the view handles them itself.
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    // Emitted before the view handles a context-menu request.
    void createContextMenu();

protected:
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
};
