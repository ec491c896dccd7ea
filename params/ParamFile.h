#pragma once
#include <string>
#include <string_view>

#include "params/ParamTable.h"

namespace veska::params {

class ParamTransfer;

/// Parameter file (".prm"): 8-bit text, one line per grid row 0..36 in index order,
/// "<address>\t<workValues[i]>\n" with the address in decimal without padding and the value
/// as a signed decimal 32-bit number. No header, no CR, nothing after the 37th line.

/// The file text of workValues[0..36].
std::string WriteParamFileText(const ValueStores& values, const ParamTable& table);

/// Outcome of taking a file's text over into workValues.
struct ParamFileReadResult {
    bool ok = true;
    std::string errorText;  ///< !ok: names the rejected token
    int records = 0;        ///< records taken over before the end or the failure (0..37)
};

/// Reads 37 records from text into workValues. Each record: skip every non-digit; the
/// address token is the run of digits that follows; skip TAB, LF, CR, NUL and space; the
/// value token runs up to the next LF, CR, NUL or the end. Every row 0..36 with that address
/// takes the value. A record whose address matches no row still counts; text after the 37th
/// record is ignored. An empty address token or a value that is not a signed decimal 32-bit
/// integer ends the reading with !ok; the records already taken keep their new values.
ParamFileReadResult ReadParamFileText(std::string_view text, const ParamTable& table,
                                      ValueStores& values);

/// Outcome of a file operation; !ok: errorText names the file and the reason.
struct FileResult {
    bool ok = true;
    std::string errorText;
};

/// Writes text to path so that an existing file is only replaced by a complete new one:
/// the text goes to a temporary file in the same directory, is flushed to the disk, and
/// then takes the place of path by rename. On failure path is untouched and the temporary
/// file removed. A symbolic link at path is followed: the file it names is replaced.
FileResult WriteTextFileReplacing(const std::string& path, std::string_view text);

/// Reads a whole regular file of at most kMaxParamFileBytes into text.
FileResult ReadTextFile(const std::string& path, std::string& text);

/// Largest file the reader takes [bytes]; a file written by the program has under 700.
inline constexpr size_t kMaxParamFileBytes = 1 << 20;

/// The file commands of the grid's menu. The operator chooses files through ParamView; a
/// file that cannot be written or read is reported with the general error display
/// (ParamView::ShowError), naming the file and the system's reason.
class ParamFileCommands {
  public:
    /// The commands work on transfer's context and rebuild the grid through it.
    explicit ParamFileCommands(ParamTransfer& transfer);

    /// "Write to file": save dialog preset "<serial number label>.prm", overwrite question
    /// (MESSAGE Item_25, flags 49) for an existing file. True when a file was written.
    bool WrParamFileClick();
    /// Last step of "Write to Factory": as WrParamFileClick.
    bool WriteFactoryParamFile();
    /// "Read from file": when rows hold values not on the sensor, asks first whether to
    /// discard them (Cancel ends here); open dialog, 37 records into workValues, grid rebuilt.
    /// A file that fails part-way keeps the records before the failure and rebuilds the grid
    /// too, before its error is shown. True when the whole file was taken over.
    bool RdParamFileClick();

  private:
    bool WriteWithDialog();

    ParamTransfer& transfer_;
};

}  // namespace veska::params
