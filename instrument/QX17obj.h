// The instrument object: selects the port and judges the driver, reads the instrument's block and
// writes it back with its marker. It is the only place that turns link outcomes into Status.
#pragma once

#include <cstdint>

namespace QX17obj {

inline constexpr std::int32_t kImageSize = 256;
inline constexpr std::int32_t kBlockStart = 32;
inline constexpr std::int32_t kBlockLength = 32;
inline constexpr std::uint16_t kAcceptedDataFormat = 0x0609;
inline constexpr std::int32_t kAcceptedDriverMajor = 5;
inline constexpr std::int32_t kMinimumDriverMinor = 2;
inline constexpr std::uint8_t kMarkerByte = 0x55;

inline constexpr std::int32_t kStatusDriverNotFound = 4;
inline constexpr std::int32_t kStatusInvalidVersion = 7;
inline constexpr std::int32_t kStatusFormatNotSupported = 8;

struct QX19 {
  std::uint8_t Valid;
  std::int32_t Port;
  std::int32_t DataFormat;
  std::int32_t IdentByte3;
  std::int32_t IdentByte4;
  std::int32_t IdentWord5;

  // The object's constructor in all but name: it talks to the driver, so it runs when the console
  // run calls it, not during static initialisation.
  void Init();
  void SetPort(std::int32_t portIndex);
  void Connect();
  void Read();
  void Write();

 private:
  void CopyIdentification();
};

extern QX19 InstrumentObject;
extern std::uint8_t ReadImage[kImageSize];
extern std::uint8_t WriteImage[kImageSize];

}  // namespace QX17obj
