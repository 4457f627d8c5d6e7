// The idle reference: an empty window of the wizard's size in the same toolkit and platform,
// doing nothing. What the wizard costs beyond it is its own.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(700, 500);
    window.show();
    return app.exec();
}
