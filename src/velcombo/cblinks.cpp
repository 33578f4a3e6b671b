#include "cblinks.h"

#include "clientsocket.h"
#include "emexception.h"
#include "serialport.h"

bool TComboSerialLink::Send(const uint8_t* data, size_t size)
{
    try {
        FPort.Transmit(data, static_cast<int>(size), false);
        return true;
    } catch (const ESerialTimeout&) {
        throw;
    } catch (const Exception&) {
        return false;
    }
}

int TComboSerialLink::ReceiveByte(uint32_t)
{
    try {
        uint8_t byte = 0;
        return FPort.Get(byte) ? byte : kTimeout;
    } catch (const Exception&) {
        return kDead;
    }
}

void TComboSerialLink::PurgeInput() { FPort.PurgeInputBuffer(); }

const uint8_t* TComboSerialLink::BytesAtHand(size_t& count) const
{
    count = FPort.Buffered();
    return FPort.AtHand();
}

void TComboSerialLink::SkipAtHand(size_t count) { FPort.Skip(count); }

uint32_t TComboSerialLink::ByteTimeoutMs() const
{
    // One byte: the per-byte slot and the fixed slot of the read.
    return FPort.GetTo(1) + FPort.GetTo(2);
}

bool TComboSocketLink::Send(const uint8_t* data, size_t size)
{
    try {
        FStream.Write(data, static_cast<int>(size));
        return true;
    } catch (const ESocketTimeout&) {
        throw;
    } catch (const Exception&) {
        return false;
    }
}

int TComboSocketLink::ReceiveByte(uint32_t)
{
    try {
        uint8_t byte = 0;
        return FStream.ReadByte(byte) ? byte : kTimeout;
    } catch (const Exception&) {
        return kDead;
    }
}

void TComboSocketLink::PurgeInput()
{
    try {
        uint8_t buffer[256];
        while (FStream.WaitForData(0)) FStream.Read(buffer, sizeof buffer);
    } catch (const Exception&) {
        // A dead link shows itself at the next receive.
    }
}

const uint8_t* TComboSocketLink::BytesAtHand(size_t& count) const
{
    count = FStream.Buffered();
    return FStream.AtHand();
}

void TComboSocketLink::SkipAtHand(size_t count) { FStream.Skip(count); }

uint32_t TComboSocketLink::ByteTimeoutMs() const { return FStream.GetTimeOut(); }
