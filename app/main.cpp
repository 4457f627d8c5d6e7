#include "app/ostreldlg.h"
#include "app/windowactivation.h"
#include "controls/dialogservices.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[])
{
    // A second start ends at once, silently, with status 0, before any window or socket of its
    // own: it only asks the first to come to the front, with the token its launcher gave it.
    CSingleInstance instance(QStringLiteral("Brevik Tarn Ostrel"));
    if (!instance.IsFirst()) {
        instance.AskFirstToRaise(CSingleInstance::ActivationToken());
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelda-support-utility"));
    QApplication::setOrganizationName(QStringLiteral("Brevik Tarn AppWizard-Generated Applications"));
    QGuiApplication::setDesktopFileName(QStringLiteral(KELDA_APP_ID));

    QApplication::setFont(QFont(QStringLiteral("Verdana"), 9));
    CEnterEscFilter keyFilter;
    app.installEventFilter(&keyFilter);

    COstrelDlg frame;
    RaiseOnLaterStarts(instance, &frame);
    frame.show();
    frame.exec();
    return 0;
}
