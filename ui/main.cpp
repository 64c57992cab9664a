// ndivantor: sends a station logo as a network video source, from its main window.

#include "ui/ndivantor_app.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return vantor::CNDIVantorApp().InitInstance();
}
