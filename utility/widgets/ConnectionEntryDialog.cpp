#include "ConnectionEntryDialog.h"

#include "MessageBoxes.h"
#include "PhoneBook.h"
#include "Services.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace tarv::utility {

ConnectionEntryDialog::ConnectionEntryDialog(const QString& title, const QString& name,
                                             const QString& number, QWidget* parent)
    : QDialog(parent), m_original(name) {
    setObjectName(QStringLiteral("ConnectionEntryDialog"));
    setWindowTitle(title);
    auto* form = new QFormLayout(this);
    txtNome = new QLineEdit(name, this);
    txtNome->setObjectName(QStringLiteral("txtNome"));
    txtNumero = new QLineEdit(number, this);
    txtNumero->setObjectName(QStringLiteral("txtNumero"));
    form->addRow(QStringLiteral("Nome della connessione:"), txtNome);
    form->addRow(QStringLiteral("Numero di telefono:"), txtNumero);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annulla"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &ConnectionEntryDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ConnectionEntryDialog::reject);
    setMinimumWidth(360);
}

QString ConnectionEntryDialog::name() const {
    return txtNome->text().trimmed();
}

QString ConnectionEntryDialog::phoneNumber() const {
    return txtNumero->text();
}

void ConnectionEntryDialog::accept() {
    const QString problem =
        PhoneBook::checkName(name(), m_original.isEmpty() ? QString() : m_original);
    if (!problem.isEmpty()) {
        Services::current().messageBoxes->show(problem, MsgButtons::Ok, MsgIcon::Exclamation,
                                               windowTitle(), this);
        return;
    }
    QDialog::accept();
}

} // namespace tarv::utility
