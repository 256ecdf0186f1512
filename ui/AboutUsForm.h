#pragma once

#include <QDialog>

#include <memory>

class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QPushButton;
class WinMovable;

// The about box: the program's picture, its title and version, a link to the
// vendor's home page (only when a vendor host is configured) and the notice line.
class AboutUsForm : public QDialog
{
    Q_OBJECT
public:
    explicit AboutUsForm(QWidget *parent = nullptr);
    ~AboutUsForm() override;

    // "<product title> v<version>".
    static QString productLine();
    // The home-page link as rich text; empty without a vendor host.
    static QString homePageLink();
    // The notice line for the given year.
    static QString copyrightLine(int year);

private:
    void buildUi();
    void showPicture();

    QGraphicsView *picApp = nullptr;
    QGraphicsScene *m_scene = nullptr;  // owned through the dialog
    QLabel *lbTitle = nullptr;
    QLabel *lbProduct = nullptr;
    QLabel *lbHomePage = nullptr;
    QLabel *lbCopyRight = nullptr;
    QPushButton *btnOK = nullptr;
    std::unique_ptr<WinMovable> m_mover;
};
