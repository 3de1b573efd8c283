#include "settings/LibraryOptions.h"

#include "store/Query.h"
#include "store/RecoveryCopy.h"
#include "store/TableRow.h"
#include "store/Transaction.h"

#include <stdexcept>

namespace velmora {

namespace {
constexpr std::int64_t kDelayUnit = 65536;
// The row's own id is selected under its own name, so a change can name the row.
constexpr const char* kSelectOptions = "Select _rowid_ as options_row, * from options";
}

SlideshowTiming SlideshowTiming::Unpack(std::int64_t stored)
{
    SlideshowTiming timing;
    const std::int64_t delay = stored / kDelayUnit;
    if (stored <= 0 || delay < kMinDelay || delay > kMaxDelay)
        return timing;
    timing.delaySeconds = static_cast<int>(delay);
    timing.repeat = (stored & 1) != 0;
    return timing;
}

std::int64_t SlideshowTiming::Pack() const
{
    return std::int64_t{delaySeconds} * kDelayUnit + (repeat ? 1 : 0);
}

LibraryOptions LibraryOptions::Read(db::Connection& main)
{
    db::Query options(main, kSelectOptions);
    if (options.Eof())
        throw std::runtime_error("The library has no options row");
    LibraryOptions read;
    read.caption = options.AsString("opt_caption");
    read.deleteDropped = options.AsBoolean("opt_defdelete");
    read.deleteFromShell = options.AsBoolean("opt_condelete");
    read.enableThumb = options.AsBoolean("opt_enableThumb");
    read.scalePast100 = options.AsBoolean("opt_scalepast100");
    read.thumbDefault = options.AsBoolean("opt_thumbdefault");
    read.thumbSize = static_cast<int>(options.AsInteger("opt_thumbsize"));
    read.slideshow = SlideshowTiming::Unpack(options.AsInteger("opt_currentStore"));
    read.slideshowColour = static_cast<std::uint32_t>(options.AsInteger("opt_currentStoreSize")) & kWhite;
    read.keepRecoveryCopy = KeepsRecoveryCopy(options);
    return read;
}

void LibraryOptions::Write(db::Connection& main) const
{
    db::Transaction transaction(main);
    {
        db::Query options(main, kSelectOptions);
        if (options.Eof())
            throw std::runtime_error("The library has no options row");
        db::TableRow change("options");
        change.Set("opt_currentStore", slideshow.Pack())
            .Set("opt_currentStoreSize", slideshowColour)
            .Set("opt_thumbsize", thumbSize)
            .Set("opt_caption", caption)
            .Set("opt_defdelete", deleteDropped)
            .Set("opt_condelete", deleteFromShell)
            .Set("opt_enableThumb", enableThumb)
            .Set("opt_scalepast100", scalePast100)
            .Set("opt_thumbdefault", thumbDefault);
        SwitchRecoveryCopy(options, change, keepRecoveryCopy);
        change.Update(main, "_rowid_ = ?", {options.AsInteger("options_row")});
    }
    transaction.Commit();
}

} // namespace velmora
