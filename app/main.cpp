#include <clocale>

#include "app/CLarkspurApp.h"

int main(int argc, char* argv[])
{
    std::setlocale(LC_ALL, "");
    CLarkspurApp application(argc, argv);
    if (!application.InitInstance()) return 1;
    return application.exec();
}
