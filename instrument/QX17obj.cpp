#include "instrument/QX17obj.h"

#include <algorithm>
#include <span>

#include "app/status_codes.h"
#include "link/qx17_link.h"

namespace QX17obj {

using qx17_status::Status;

QX19 InstrumentObject{};
std::uint8_t ReadImage[kImageSize] = {};
std::uint8_t WriteImage[kImageSize] = {};

namespace {

std::span<std::uint8_t> Block(std::uint8_t (&image)[kImageSize]) {
  return std::span<std::uint8_t>(image).subspan(kBlockStart, kBlockLength);
}

}  // namespace

void QX19::Init() {
  Valid = 0;
  Port = 0;
  SetPort(0);
  DataFormat = 0;
  IdentByte3 = 0;
  IdentByte4 = 0;
  IdentWord5 = 0;
}

void QX19::SetPort(std::int32_t portIndex) {
  Port = portIndex;
  qx17_link::PortIndex = portIndex;
  Status = qx17_link::QueryDriver() ? qx17_link::LastStatus : kStatusDriverNotFound;
  bool versionAccepted = qx17_link::DriverMajor == kAcceptedDriverMajor &&
                         qx17_link::DriverMinor >= kMinimumDriverMinor;
  if (Status == 0 && !versionAccepted) Status = kStatusInvalidVersion;
}

void QX19::Connect() {
  qx17_link::WakeInstrument();
  qx17_link::IdentifyInstrument();
  Status = qx17_link::LastStatus;
  if (Status != 0) return;
  if (qx17_link::DataFormat != kAcceptedDataFormat) {
    Status = kStatusFormatNotSupported;
    return;
  }
  qx17_link::ReadPage(kBlockStart, kBlockLength, Block(ReadImage));
  Status = qx17_link::LastStatus;
}

void QX19::CopyIdentification() {
  DataFormat = qx17_link::DataFormat;
  IdentByte3 = qx17_link::IdentByte3;
  IdentByte4 = qx17_link::IdentByte4;
  IdentWord5 = qx17_link::IdentWord5;
}

void QX19::Read() {
  // A failed read leaves the conversation without a finish transaction, as the instrument has
  // always been driven.
  Connect();
  if (Status != 0) return;
  qx17_link::FinishLink();
  CopyIdentification();
  std::ranges::copy(Block(ReadImage), Block(WriteImage).begin());
  Valid = 1;
}

void QX19::Write() {
  Connect();
  if (Status != 0) {
    qx17_link::FinishLink();
    return;
  }
  CopyIdentification();
  // The block that Connect just read again is not what goes back: the block of the read phase is.
  WriteImage[kBlockStart] = kMarkerByte;
  qx17_link::WritePage(kBlockStart, kBlockLength, Block(WriteImage));
  Status = qx17_link::LastStatus;
  qx17_link::FinishLink();
}

}  // namespace QX17obj
