#pragma once

class MyTreeView;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenuBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QToolBar;
class QVBoxLayout;
class QWebEngineView;
class QWidget;

// The main window's widgets, built in code with the object names the style
// sheet and the tests use: the source tree on the left, the message list in
// the middle, the conversation pane on the right. The widgets belong to the
// window; this struct only points at them.
struct MainWindowUi
{
    QWidget *centralWidget = nullptr;
    QVBoxLayout *verticalLayout_4 = nullptr;
    QSplitter *splitter = nullptr;

    QWidget *widget_5 = nullptr;
    QVBoxLayout *verticalLayout_3 = nullptr;
    QWidget *widget_4 = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QLineEdit *txtHandleKeyword = nullptr;
    QPushButton *btnSearchHandle = nullptr;
    MyTreeView *treeViewDS = nullptr;

    QWidget *widget = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QWidget *widget_3 = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLineEdit *txtSMSKeyword = nullptr;
    QPushButton *btnSearchSMS = nullptr;
    MyTreeView *treeViewSMS = nullptr;
    QLabel *lbSMSCount = nullptr;

    QWidget *widget_2 = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QLabel *lbConversation = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QLabel *lbChatName = nullptr;
    QWebEngineView *webViewSMS = nullptr;

    QMenuBar *menuBar = nullptr;
    QToolBar *mainToolBar = nullptr;
    QStatusBar *statusBar = nullptr;

    void setupUi(QMainWindow *window);

private:
    void setupSourcePane();
    void setupMessagePane();
    void setupConversationPane();
    void setupBars(QMainWindow *window);
};
