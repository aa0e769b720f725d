#pragma once
// The login dialog Form1: server name and sa password. It is the run's credentials: its two
// boxes are read by every connection, from the login on. Whoever runs the program logs in when
// it asks, and after the first good login hides it for the rest of the run.

#include <QDialog>

#include "access/Credentials.h"
#include "db/Connection.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace korvid {

// The dialog's controls, for whoever drives it.
struct LoginControls {
    QLineEdit* serverBox = nullptr;
    QLineEdit* passwordBox = nullptr;
    QPushButton* loginButton = nullptr;
    QPushButton* exitButton = nullptr;
};

class LoginDialog : public QDialog, public Credentials {
    Q_OBJECT
public:
    explicit LoginDialog(QWidget* parent = nullptr);
    ~LoginDialog() override;

    QString serverName() const override;  // the server box, as typed
    QString password() const override;    // the password box, as typed

    LoginControls controls() const;

    // The probe's rows, held by the hidden grid of the dialog.
    void holdProbeRows(const db::ResultSet& rows);

signals:
    // 确定 was pressed, or Enter in either box.
    void loginRequested();

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
};

}  // namespace korvid
