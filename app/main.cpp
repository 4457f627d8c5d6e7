#include "app/dialogservices.h"
#include "app/ostreldlg.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelda-support-utility"));
    QApplication::setOrganizationName(QStringLiteral("Brevik Tarn AppWizard-Generated Applications"));
    QGuiApplication::setDesktopFileName(QStringLiteral(KELDA_APP_ID));

    // A second start ends at once, silently, with status 0: the first window stays the one.
    const CSingleInstance instance(QStringLiteral("Brevik Tarn Ostrel"));
    if (!instance.IsFirst())
        return 0;

    QApplication::setFont(QFont(QStringLiteral("Verdana"), 9));
    CEnterEscFilter keyFilter;
    app.installEventFilter(&keyFilter);

    COstrelDlg frame;
    frame.show();
    frame.exec();
    return 0;
}
