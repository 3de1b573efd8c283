// Velmora: opens the library in the data folder and reports on it. The windowed
// program shell replaces this entry point.
#include "store/Connection.h"
#include "store/LibraryFiles.h"
#include "store/Query.h"

#include <QCoreApplication>

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        velmora::SetDataDir(argv[1]);
    try {
        velmora::db::Connection conn(velmora::LibraryConnectionString(0));
        conn.Open();
        velmora::db::Query items(conn, "Select rec_ident from Record");
        std::cout << "Velmora: library " << conn.DataSource() << " holds " << items.RecordCount()
                  << " items\n";
    } catch (const std::exception& e) {
        std::cerr << "Velmora: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
