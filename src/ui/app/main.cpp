#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Orvane Reelmaker"));
    label.setWindowTitle(QStringLiteral("Orvane Reelmaker"));
    label.show();
    return app.exec();
}
