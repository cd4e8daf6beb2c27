// TDriver: the protocol engine of the relay board. It frames the four commands, runs one
// request/answer exchange per operation over its own TComm, decodes the answers and keeps the
// result of the last operation as a code and a text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "untComm.h"
#include "untError.h"

// XOR of all bytes, starting at 0.
uint8_t XorChecksum(const std::string& bytes);
// Two upper-case hex digits and a space per byte; empty for no bytes.
std::string HexDump(const std::string& bytes);
// bytes[pos] + 256 * bytes[pos + 1]; raises ERangeError when either lies outside.
uint16_t WordAt(const std::string& bytes, size_t pos);
// value as 2 bytes, low byte first.
std::string WordToBytes(uint16_t value);
// Raises EDriverError -5 when bytes holds fewer than n bytes.
void CheckMinLength(const std::string& bytes, size_t n);

class TDriver {
public:
    TDriver();
    virtual ~TDriver();
    TDriver(const TDriver&) = delete;
    TDriver& operator=(const TDriver&) = delete;

    // Opens the port unless open, then clears the result; returns the result code.
    int Connect();
    // Closes the port if open and clears the result; returns 0.
    int Disconnect();
    // 'w': switches the relays to ReleStatus; returns the result code.
    int SetStatus();
    // 'x': shows ReleStatus for ToggleTime ms; returns the exchange's result code. Opening the
    // port or setting its time-outs around the exchange raises its failure to the caller.
    int ToggleStatus();
    // 'y': reads the relay status into ReleStatus; returns the result code.
    int GetStatus();
    // 'z': reads the board's identification; returns the result code.
    int GetDeviceMetrics();

    // Result 0 "Ошибок нет"; returns 0.
    int ClearResult();
    // Stores a caught failure as code and text (both forms) and the system's error number
    // behind it; returns the code.
    int HandleError(const EBaseError& failure);

    uint32_t GetTimeout() const { return Comm->Timeout; }
    // The port's base time-out; reaches an open port only at its next time-out set-up.
    void SetTimeout(uint32_t n) { Comm->Timeout = n; }
#ifdef _WIN32
    int32_t GetPortNumber() const;
    // Raises ERangeError for n < 0; else the next open uses COMn, and the result is cleared.
    void SetPortNumber(int32_t n);
#else
    const std::string& GetDevicePath() const;
    // The next open uses the device at path, and the result is cleared.
    void SetDevicePath(const std::string& path);
#endif

    // The request frame for payload: STX, Address, 0x55, length, payload, checksum.
    std::string BuildFrame(const std::string& payload) const;

    std::unique_ptr<TComm> Comm;
    std::string Input;
    std::string Output;
    uint8_t Address = 0;
    uint8_t AnswerAddress = 0;
    uint16_t ToggleTime = 0;
    uint8_t ReleStatus = 0;
    int32_t ResultCode = 0;
    std::string ResultDescription; // cp1251, as the driver's texts are written
    // The same as wide text (UTF-16 on Windows, UTF-32 elsewhere), with the system's texts kept
    // whole.
    std::wstring ResultDescriptionW;
    // The system's error number behind the last result: a system call that failed, or the
    // reason a port could not be opened; 0 when no system call failed.
    unsigned long ResultSystemCode = 0;
    uint8_t DeviceType = 0;
    uint8_t DeviceSubType = 0;
    uint8_t ProtocolVersion = 0;
    uint8_t SoftVersion = 0;
    uint16_t DeviceNumber = 0;

private:
    // One request/answer exchange; every driver failure ends in HandleError. Returns the code.
    int Exchange(const std::string& payload);
    // Checks the board's result byte and hands the data to the command's decoder; raises.
    void DecodeAnswer(const std::string& payload);
    void DecodeStatusAnswer(const std::string& data);
    void DecodeDeviceMetricsAnswer(const std::string& data);
};
