#include "ui/MainWindowUi.h"

#include "ui/MyTreeView.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace {

template <typename T>
T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

// What a screen reader says for the widget; a button shows it as its tip too.
template <typename T>
T *spoken(T *widget, const QString &name)
{
    widget->setAccessibleName(name);
    return widget;
}

QPushButton *searchButton(QWidget *parent, const char *name, const QString &spokenName)
{
    auto *button = spoken(named(new QPushButton(parent), name), spokenName);
    button->setToolTip(spokenName);
    button->setIcon(QIcon(QStringLiteral(":/res/search.png")));
    button->setText(QStringLiteral("..."));
    return button;
}

void noMargins(QLayout *layout)
{
    layout->setContentsMargins(0, 0, 0, 0);
}

} // namespace

void MainWindowUi::setupUi(QMainWindow *window)
{
    window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(1000, 680);

    centralWidget = named(new QWidget(window), "centralWidget");
    verticalLayout_4 = named(new QVBoxLayout(centralWidget), "verticalLayout_4");
    verticalLayout_4->setSpacing(0);
    verticalLayout_4->setContentsMargins(11, 11, 11, 11);

    splitter = named(new QSplitter(Qt::Horizontal, centralWidget), "splitter");
    splitter->setHandleWidth(1);
    splitter->setChildrenCollapsible(false);
    verticalLayout_4->addWidget(splitter);

    setupSourcePane();
    setupMessagePane();
    setupConversationPane();
    window->setCentralWidget(centralWidget);
    setupBars(window);
    // Tab goes through the panes from left to right, as they are read.
    const QList<QWidget *> readingOrder{txtHandleKeyword, btnSearchHandle, treeViewDS, txtSMSKeyword,
                                        btnSearchSMS,     treeViewSMS,     webViewSMS};
    for (qsizetype i = 1; i < readingOrder.size(); ++i)
        QWidget::setTabOrder(readingOrder.at(i - 1), readingOrder.at(i));
}

void MainWindowUi::setupSourcePane()
{
    widget_5 = named(new QWidget(splitter), "widget_5");
    verticalLayout_3 = named(new QVBoxLayout(widget_5), "verticalLayout_3");
    noMargins(verticalLayout_3);

    widget_4 = named(new QWidget(widget_5), "widget_4");
    horizontalLayout_2 = named(new QHBoxLayout(widget_4), "horizontalLayout_2");
    noMargins(horizontalLayout_2);
    txtHandleKeyword = spoken(named(new QLineEdit(widget_4), "txtHandleKeyword"), QObject::tr("Find a conversation"));
    btnSearchHandle = searchButton(widget_4, "btnSearchHandle", QObject::tr("Find the conversation"));
    horizontalLayout_2->addWidget(txtHandleKeyword);
    horizontalLayout_2->addWidget(btnSearchHandle);

    treeViewDS = spoken(named(new MyTreeView(widget_5), "treeViewDS"), QObject::tr("Phones, databases and conversations"));
    treeViewDS->setHeaderHidden(true);
    verticalLayout_3->addWidget(widget_4);
    verticalLayout_3->addWidget(treeViewDS);
    splitter->addWidget(widget_5);
}

void MainWindowUi::setupMessagePane()
{
    widget = named(new QWidget(splitter), "widget");
    verticalLayout = named(new QVBoxLayout(widget), "verticalLayout");
    noMargins(verticalLayout);

    widget_3 = named(new QWidget(widget), "widget_3");
    horizontalLayout = named(new QHBoxLayout(widget_3), "horizontalLayout");
    noMargins(horizontalLayout);
    txtSMSKeyword = spoken(named(new QLineEdit(widget_3), "txtSMSKeyword"), QObject::tr("Find in the messages"));
    btnSearchSMS = searchButton(widget_3, "btnSearchSMS", QObject::tr("Find the messages"));
    horizontalLayout->addWidget(txtSMSKeyword);
    horizontalLayout->addWidget(btnSearchSMS);

    treeViewSMS = spoken(named(new MyTreeView(widget), "treeViewSMS"), QObject::tr("Messages of the conversation"));
    treeViewSMS->setSelectionMode(QAbstractItemView::ExtendedSelection);
    treeViewSMS->setIndentation(5);
    treeViewSMS->setItemsExpandable(false);
    treeViewSMS->setRootIsDecorated(false);
    treeViewSMS->setSortingEnabled(true);
    treeViewSMS->header()->setSectionsMovable(false);

    lbSMSCount = named(new QLabel(widget), "lbSMSCount");
    lbSMSCount->setTextFormat(Qt::PlainText);
    lbSMSCount->setText(QObject::tr("Messages: 0"));

    verticalLayout->addWidget(widget_3);
    verticalLayout->addWidget(treeViewSMS);
    verticalLayout->addWidget(lbSMSCount);
    splitter->addWidget(widget);
}

void MainWindowUi::setupConversationPane()
{
    widget_2 = named(new QWidget(splitter), "widget_2");
    verticalLayout_2 = named(new QVBoxLayout(widget_2), "verticalLayout_2");
    noMargins(verticalLayout_2);
    verticalLayout_2->setSpacing(0);

    // The conversation's name sits on the coloured bar above the bubbles.
    lbConversation = named(new QLabel(widget_2), "lbConversation");
    horizontalLayout_4 = named(new QHBoxLayout(lbConversation), "horizontalLayout_4");
    horizontalLayout_4->setContentsMargins(10, 0, 10, 0);
    lbChatName = named(new QLabel(lbConversation), "lbChatName");
    lbChatName->setMaximumHeight(30);
    lbChatName->setScaledContents(true);
    lbChatName->setWordWrap(false);
    // Names come from the phone's contacts: never interpret them as markup.
    lbChatName->setTextFormat(Qt::PlainText);
    horizontalLayout_4->addWidget(lbChatName);

    webViewSMS = spoken(named(new QWebEngineView(widget_2), "webViewSMS"), QObject::tr("Conversation"));
    webViewSMS->setContextMenuPolicy(Qt::NoContextMenu);
    webViewSMS->setAcceptDrops(false);

    verticalLayout_2->addWidget(lbConversation);
    verticalLayout_2->addWidget(webViewSMS, 1);
    splitter->addWidget(widget_2);
}

void MainWindowUi::setupBars(QMainWindow *window)
{
    menuBar = named(new QMenuBar(window), "menuBar");
    window->setMenuBar(menuBar);

    mainToolBar = named(new QToolBar(window), "mainToolBar");
    mainToolBar->setMovable(false);
    mainToolBar->setFloatable(false);
    mainToolBar->setIconSize(QSize(52, 52));
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);

    statusBar = named(new QStatusBar(window), "statusBar");
    window->setStatusBar(statusBar);
}
