#include "app/QX17_701.h"

#include "app/console.h"
#include "app/status_codes.h"
#include "instrument/QX17obj.h"

namespace QX17_701 {

namespace {

using qx17_status::Status;

constexpr char kWriteFailed[] = "write";
constexpr char kReadFailed[] = "read";

bool WriteOutcome() {
  if (Status == 0) return console::WriteLine("OK!");
  qx17_status::MessageLine line = qx17_status::MessageFor(Status);
  return console::WriteLine({line.Bytes, line.Length});
}

}  // namespace

int Run() {
  console::Prepare();
  QX17obj::InstrumentObject.Init();  // what it finds shows up in the read phase, not here

  if (!console::WriteLine("")) return console::ReportFailure(kWriteFailed);
  if (!console::Write("Reading QX17...")) return console::ReportFailure(kWriteFailed);
  QX17obj::InstrumentObject.Read();
  if (!WriteOutcome()) return console::ReportFailure(kWriteFailed);

  QX17obj::WriteImage[33] = 0x00;

  if (Status == 0) {
    if (!console::Write("Writing QX17...")) return console::ReportFailure(kWriteFailed);
    QX17obj::InstrumentObject.Write();
    if (Status != 0) {
      // One quiet retry; only its outcome is shown.
      Status = 0;
      QX17obj::InstrumentObject.Write();
    }
    if (!WriteOutcome()) return console::ReportFailure(kWriteFailed);
  }

  if (!console::WriteLine("Press any key...") || !console::Flush()) {
    return console::ReportFailure(kWriteFailed);
  }
  if (!console::ReadLine()) return console::ReportFailure(kReadFailed);
  return 0;
}

}  // namespace QX17_701
