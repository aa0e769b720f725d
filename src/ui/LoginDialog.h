#pragma once
// The login dialog Form1: server name and sa password, proved by a probe query. After the
// first good login it hides, stays alive for the whole run and its two boxes remain the
// credentials every later connection reads.

#include <QDialog>

#include "access/Credentials.h"
#include "access/ServerAccess.h"
#include "db/Connection.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace korvid {

class Prompts;

class LoginDialog : public QDialog, public Credentials {
    Q_OBJECT
public:
    explicit LoginDialog(Prompts& prompts, QWidget* parent = nullptr);
    ~LoginDialog() override;

    QString serverName() const override;  // the server box, as typed
    QString password() const override;    // the password box, as typed

    // Every connection of the run, reading this dialog's two boxes when it connects.
    const ServerAccess& serverAccess() const { return access_; }

    bool isLoggedIn() const { return loggedIn_; }
    // The login's own connection, kept open for the run once the login succeeded.
    const db::Connection& loginConnection() const { return probeConnection_; }

    // Command1: connects with shape A, runs the probe and on success hides the dialog and says
    // so; whoever started the program then opens the main window.
    void attemptLogin();

signals:
    void loggedIn();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // Escape: the dialog has no cancel button, so the key does nothing (it neither hides the
    // dialog nor ends the program; the close box and 退出 do that).
    void reject() override;

private:
    void buildCredentialBoxes();

    QLabel* banner_;            // Picture1
    QLineEdit* serverBox_;      // fwq
    QLineEdit* passwordBox_;    // mm
    QPushButton* loginButton_;  // Command1
    QPushButton* exitButton_;   // Command2
    QTableView* probeGrid_;     // DataGrid1: holds the probe's rows, never shown
    QStandardItemModel* probeRows_;
    Prompts& prompts_;
    ServerAccess access_;
    db::Connection probeConnection_;  // the login connection, open for the whole run
    bool loggedIn_ = false;
};

}  // namespace korvid
