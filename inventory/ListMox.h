#pragma once
// The device list: records by value in a doubly linked list behind one lock,
// addressed by a zero-based index that always equals the list view's row.

#include <cstdint>
#include <mutex>
#include <new>

template <typename T>
class CListMox {
public:
    struct Node {
        Node *pNext = nullptr;
        Node *pPrev = nullptr;
        T record;
    };

    CListMox() = default;
    CListMox(const CListMox &) = delete;
    CListMox &operator=(const CListMox &) = delete;
    virtual ~CListMox() { RemoveAll(); }

    // Appends a copy of the record and returns the record as stored.
    T AddTail(T record)
    {
        std::lock_guard lock(m_cs);
        Node *node = AllocateNode();
        node->record = record;
        if (!m_pTail) {
            m_pHead = node;
        } else {
            m_pTail->pNext = node;
            node->pPrev = m_pTail;
        }
        m_pTail = node;
        ++m_nCount;
        return node->record;
    }

    // Copies the record at the index; an index past the end gives the last record.
    // Returns 0, leaving the buffer untouched, only when the list is empty.
    int GetAt(std::uint32_t index, T &record) const
    {
        std::lock_guard lock(m_cs);
        if (m_nCount == 0)
            return 0;
        record = NodeAt(index < m_nCount ? index : m_nCount - 1)->record;
        return 1;
    }

    // Overwrites the record at the index; an index past the end changes nothing.
    int SetAt(std::uint32_t index, T record)
    {
        std::lock_guard lock(m_cs);
        if (index >= m_nCount)
            return 0;
        NodeAt(index)->record = record;
        return 1;
    }

    // Frees every node, from the tail toward the head.
    void RemoveAll()
    {
        std::lock_guard lock(m_cs);
        for (std::uint32_t i = 0; i < m_nCount; ++i) {
            Node *tail = m_pTail;
            m_pTail = tail->pPrev;
            delete tail;
        }
        m_nCount = 0;
        m_pHead = nullptr;
        m_pTail = nullptr;
    }

private:
    // Running out of memory must not lose a camera: try again until it succeeds.
    static Node *AllocateNode()
    {
        for (;;) {
            if (Node *node = new (std::nothrow) Node())
                return node;
        }
    }

    Node *NodeAt(std::uint32_t index) const
    {
        Node *node = m_pHead;
        while (index-- > 0)
            node = node->pNext;
        return node;
    }

    mutable std::recursive_mutex m_cs;
    Node *m_pHead = nullptr;
    Node *m_pTail = nullptr;
    std::uint32_t m_nCount = 0;
};
