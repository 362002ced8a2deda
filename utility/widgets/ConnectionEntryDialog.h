#pragma once

#include <QDialog>

class QLineEdit;

namespace tarv::utility {

// Creating or editing a phone-book entry: its name and its phone number. OK is taken only
// for a name the phone book can hold; otherwise the reason is shown and the dialog stays.
class ConnectionEntryDialog : public QDialog {
    Q_OBJECT
public:
    ConnectionEntryDialog(const QString& title, const QString& name, const QString& number,
                          QWidget* parent = nullptr);
    QString name() const;
    QString phoneNumber() const;
    void accept() override;

    QLineEdit* txtNome;
    QLineEdit* txtNumero;

private:
    QString m_original;
};

} // namespace tarv::utility
