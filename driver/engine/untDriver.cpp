#include "untDriver.h"

#include <cstdio>

#include "untConst.h"

namespace {

constexpr char STX = 0x02;
constexpr char CMD_SET_STATUS = 'w';
constexpr char CMD_TOGGLE_STATUS = 'x';
constexpr char CMD_GET_STATUS = 'y';
constexpr char CMD_DEVICE_METRICS = 'z';

// Half-duplex turn-around: the board needs the line quiet before and after our frame.
constexpr uint32_t PAUSE_BEFORE_WRITE_MS = 20;
constexpr uint32_t PAUSE_AFTER_WRITE_MS = 30;
constexpr uint32_t HEADER_SIZE = 4;
// A board may answer the toggle command only once the pulse is over, so that read waits longer.
constexpr uint32_t TOGGLE_EXTRA_MS = 100;

uint8_t ByteAt(const std::string& bytes, size_t pos) {
    return static_cast<uint8_t>(bytes[pos]);
}

// printf-style text with one decimal number, for the fixed cp1251 messages.
std::string FormatCode(const char* format, int value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

uint8_t XorChecksum(const std::string& bytes) {
    uint8_t sum = 0;
    for (char b : bytes)
        sum ^= static_cast<uint8_t>(b);
    return sum;
}

std::string HexDump(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (char c : bytes) {
        uint8_t b = static_cast<uint8_t>(c);
        text += digits[b >> 4];
        text += digits[b & 0x0F];
        text += ' ';
    }
    return text;
}

uint16_t WordAt(const std::string& bytes, size_t pos) {
    if (pos >= bytes.size() || pos + 1 >= bytes.size())
        throw ERangeError();
    return static_cast<uint16_t>(ByteAt(bytes, pos) + 256 * ByteAt(bytes, pos + 1));
}

std::string WordToBytes(uint16_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

void CheckMinLength(const std::string& bytes, size_t n) {
    if (bytes.size() < n)
        RaiseDriverError(RESULT_BAD_FRAME_LENGTH, ResultText(RESULT_BAD_FRAME_LENGTH));
}

TDriver::TDriver() : Comm(std::make_unique<TComm>()) {
    ClearResult();
}

TDriver::~TDriver() = default;

int TDriver::ClearResult() {
    ResultCode = RESULT_OK;
    ResultSystemCode = 0;
    ResultDescriptionW = ResultTextW(RESULT_OK);
    ResultDescription = WideToCp1251(ResultDescriptionW);
    return ResultCode;
}

int TDriver::HandleError(const EBaseError& failure) {
    ResultDescription = failure.Message;
    ResultDescriptionW = failure.Text();
    auto driverError = dynamic_cast<const EDriverError*>(&failure);
    auto systemError = dynamic_cast<const EOSError*>(&failure);
    ResultCode = driverError ? driverError->Code : RESULT_FAILURE;
    ResultSystemCode = driverError   ? driverError->SystemCode
                       : systemError ? static_cast<unsigned long>(systemError->ErrorCode)
                                     : 0;
    return ResultCode;
}

int TDriver::Connect() {
    try {
        Comm->Open();
        return ClearResult();
    } catch (const EBaseError& failure) {
        return HandleError(failure);
    }
}

int TDriver::Disconnect() {
    Comm->Close();
    return ClearResult();
}

#ifdef _WIN32
int32_t TDriver::GetPortNumber() const {
    return static_cast<int32_t>(Comm->PortNumber);
}

void TDriver::SetPortNumber(int32_t n) {
    if (n < 0)
        throw ERangeError();
    Comm->PortNumber = static_cast<uint32_t>(n);
    ClearResult();
}
#else
const std::string& TDriver::GetDevicePath() const {
    return Comm->DevicePath;
}

void TDriver::SetDevicePath(const std::string& path) {
    Comm->DevicePath = path;
    ClearResult();
}
#endif

int TDriver::SetStatus() {
    return Exchange(std::string{CMD_SET_STATUS, static_cast<char>(ReleStatus)});
}

int TDriver::ToggleStatus() {
    Comm->EnsureOpen();
    Comm->SetTimeouts(ToggleTime + TOGGLE_EXTRA_MS);
    std::string payload{CMD_TOGGLE_STATUS, static_cast<char>(ReleStatus)};
    payload += WordToBytes(ToggleTime);
    int code;
    try {
        code = Exchange(payload);
    } catch (...) {
        if (Comm->IsOpen())
            Comm->SetTimeouts(Comm->Timeout);
        throw;
    }
    // The port's own time-outs come back whatever the exchange gave; a port that a system
    // failure closed gets them when it is next opened.
    if (Comm->IsOpen())
        Comm->SetTimeouts(Comm->Timeout);
    return code;
}

int TDriver::GetStatus() {
    return Exchange(std::string{CMD_GET_STATUS});
}

int TDriver::GetDeviceMetrics() {
    return Exchange(std::string{CMD_DEVICE_METRICS});
}

std::string TDriver::BuildFrame(const std::string& payload) const {
    std::string body{static_cast<char>(Address), 0x55, static_cast<char>(payload.size() & 0xFF)};
    body += payload;
    return STX + body + static_cast<char>(XorChecksum(body));
}

int TDriver::Exchange(const std::string& payload) {
    try {
        // The turn-around pauses to the millisecond for the whole exchange.
        const TPauseClock::TExchange precise(Comm->Clock);
        Input.clear();
        std::string frame = BuildFrame(payload);
        Output = HexDump(frame);
        Comm->Purge();
        Comm->ClearRts();
        Comm->Pause(PAUSE_BEFORE_WRITE_MS);
        Comm->Write(frame);
        Comm->Pause(PAUSE_AFTER_WRITE_MS);
        Comm->SetRts();

        std::string header = Comm->Read(HEADER_SIZE);
        Input = HexDump(header);
        if (header.size() < HEADER_SIZE)
            RaiseDriverError(RESULT_NO_LINK, ResultText(RESULT_NO_LINK));
        if (header[0] != STX)
            RaiseDriverError(RESULT_FAILURE, S_FIRST_BYTE_NOT_STX);
        AnswerAddress = ByteAt(header, 1);
        uint32_t length = ByteAt(header, 3);

        // The header tells how much is still to come: the payload and its checksum.
        std::string rest = Comm->Read(length + 1);
        Input += " " + HexDump(rest);
        if (rest.size() < length + 1)
            RaiseDriverError(RESULT_NO_LINK, ResultText(RESULT_NO_LINK));
        std::string answer = rest.substr(0, length);
        if (ByteAt(rest, length) != XorChecksum(header.substr(1, 3) + answer))
            RaiseDriverError(RESULT_BAD_CRC, ResultText(RESULT_BAD_CRC));

        DecodeAnswer(answer);
        return ClearResult();
    } catch (const EBaseError& failure) {
        return HandleError(failure);
    }
}

void TDriver::DecodeAnswer(const std::string& payload) {
    if (payload.size() < 2)
        throw ERangeError();
    uint8_t code = ByteAt(payload, 0);
    uint8_t result = ByteAt(payload, 1);
    // A board that reports a failure must not read as success: its own code is the result.
    if (result != 0)
        RaiseDriverError(result, FormatCode(S_DEVICE_ERROR, result));
    std::string data = payload.substr(2);
    // The answer's own code decides, not the command we sent.
    switch (code) {
    case CMD_SET_STATUS:
    case CMD_TOGGLE_STATUS:
    case CMD_GET_STATUS:
        // All three answer with the relay pattern the board now has.
        DecodeStatusAnswer(data);
        break;
    case CMD_DEVICE_METRICS:
        DecodeDeviceMetricsAnswer(data);
        break;
    default:
        RaiseDriverError(RESULT_FAILURE, FormatCode(S_UNKNOWN_COMMAND, code));
    }
}

void TDriver::DecodeStatusAnswer(const std::string& data) {
    CheckMinLength(data, 1);
    ReleStatus = ByteAt(data, 0);
}

void TDriver::DecodeDeviceMetricsAnswer(const std::string& data) {
    CheckMinLength(data, 6);
    DeviceType = ByteAt(data, 0);
    DeviceSubType = ByteAt(data, 1);
    ProtocolVersion = ByteAt(data, 2);
    SoftVersion = ByteAt(data, 3);
    DeviceNumber = WordAt(data, 4);
}
