// The read-ahead reader: one reader thread, a ring of blocks.
#include "app/read_ahead.h"

#include <system_error>

#include "plat/sys/files.h"

CReadAhead::CReadAhead(plat::HANDLE file, size_t blockBytes, size_t blocks)
    : m_hFile(file), m_aBlocks(blocks < 2 ? 2 : blocks) {
    for (Block& block : m_aBlocks)
        block.bytes.resize(blockBytes);
    try {
        m_reader = std::thread([this] { ReaderLoop(); });
    } catch (const std::system_error&) {
        // No thread: Next reads on the caller's thread.
    }
}

CReadAhead::~CReadAhead() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    if (m_reader.joinable())
        m_reader.join();
}

CReadAhead::Slot CReadAhead::ReadInto(Block& block) {
    plat::DWORD got = 0;
    if (!plat::ReadFile(m_hFile, block.bytes.data(), static_cast<plat::DWORD>(block.bytes.size()),
                        &got, nullptr))
        return Slot::Failed;
    block.size = got;
    return got == 0 ? Slot::End : Slot::Full;
}

void CReadAhead::ReaderLoop() {
    for (size_t index = 0;; index = (index + 1) % m_aBlocks.size()) {
        Block& block = m_aBlocks[index];
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [&] { return m_bStop || block.state == Slot::Empty; });
            if (m_bStop)
                return;
        }
        // The block is the reader's alone while it is empty.
        const Slot state = ReadInto(block);
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            block.state = state;
        }
        m_changed.notify_all();
        if (state != Slot::Full)
            return;
    }
}

bool CReadAhead::Next(const uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    Block& next = m_aBlocks[m_nNext];
    if (!m_reader.joinable()) {
        // Serial: one block, read here.
        if (next.state == Slot::Empty || next.state == Slot::Full)
            next.state = ReadInto(next);
    } else {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_nHeld != kNone && m_nHeld != m_nNext) {
            m_aBlocks[m_nHeld].state = Slot::Empty;
            m_changed.notify_all();
        }
        m_changed.wait(lock, [&] { return next.state != Slot::Empty; });
    }
    switch (next.state) {
    case Slot::Full:
        *data = next.bytes.data();
        *size = next.size;
        m_nHeld = m_nNext;
        if (m_reader.joinable())
            m_nNext = (m_nNext + 1) % m_aBlocks.size();
        return true;
    case Slot::End:
        return true;
    default:
        return false;
    }
}
