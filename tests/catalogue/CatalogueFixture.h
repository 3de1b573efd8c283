#pragma once

#include "support/LibraryFixture.h"

#include "catalogue/Categories.h"
#include "store/ObjectStore.h"
#include "store/SqlText.h"

#include <string>
#include <vector>

namespace velmora::test {

// A fresh library with helpers to file items under categories.
class CatalogueFixture : public LibraryFixture {
protected:
    db::Connection& mainConn() { return library->MainConnection(); }

    int Category(const std::string& name, int parent = kUnclassifiedId)
    {
        return InsertCategory(mainConn(), parent, name);
    }
    void Link(int category, int item)
    {
        ExecuteMain(SqlFormat("Insert into RecordCategory (reccat_category, reccat_record) values (%d,%d)", category, item));
    }
    int AddFiled(const std::string& name, int category, const std::string& bytes = "content")
    {
        const int item = AddItem(bytes, name);
        if (category != kUnclassifiedId)
            Link(category, item);
        return item;
    }
    bool Linked(int category, int item)
    {
        return Scalar(SqlFormat("Select count(*) from RecordCategory where reccat_category = %d and reccat_record = %d",
                                category, item)) == 1;
    }
};

} // namespace velmora::test
