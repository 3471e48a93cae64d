// The circular doubly linked ring that the agent's lists keep their elements in: every
// level of the DCH server's store, its waiting list, the application definitions and the
// table-manager registry.
//
// A new element is linked directly after the head in the forward direction; a
// walk starts at the head and follows the backward links until it is back at the
// head. So the head comes first and the others follow in the order in which they
// were added; when the head goes, its forward neighbour (the newest element)
// becomes the head. The ring does not own its elements.
#pragma once

template <typename T>
class Ring;

// The links an element carries; T derives from RingLink<T>.
template <typename T>
class RingLink {
 public:
  T* Next() const { return next_; }
  T* Prev() const { return prev_; }

 private:
  friend class Ring<T>;
  T* next_ = nullptr;
  T* prev_ = nullptr;
};

template <typename T>
class Ring {
 public:
  Ring() = default;
  Ring(const Ring&) = delete;
  Ring& operator=(const Ring&) = delete;

  T* head() const { return head_; }
  int count() const { return count_; }

  // The element visited after `current`, or null when the walk is back at the head.
  T* after(const T* current) const {
    T* previous = link(current).prev_;
    return previous == head_ ? nullptr : previous;
  }

  void add(T* element) {
    RingLink<T>& added = link(element);
    if (head_ == nullptr) {
      added.next_ = added.prev_ = element;
      head_ = element;
    } else {
      RingLink<T>& head = link(head_);
      added.next_ = head.next_;
      added.prev_ = head_;
      link(head.next_).prev_ = element;
      head.next_ = element;
    }
    ++count_;
  }

  // Unlinks an element of this ring; the caller deletes it.
  void remove(T* element) {
    RingLink<T>& removed = link(element);
    if (element == head_) head_ = removed.next_;
    link(removed.next_).prev_ = removed.prev_;
    link(removed.prev_).next_ = removed.next_;
    removed.next_ = removed.prev_ = nullptr;
    if (--count_ == 0) head_ = nullptr;
  }

  // Puts an element that is not the head first; the former head follows it and
  // the others keep their order.
  void moveToFront(T* element) {
    if (element == head_) return;
    T* newest = link(head_).next_;
    if (element != newest) {
      remove(element);
      RingLink<T>& moved = link(element);
      moved.next_ = newest;
      moved.prev_ = head_;
      link(newest).prev_ = element;
      link(head_).next_ = element;
      ++count_;
    }
    head_ = element;
  }

 private:
  static RingLink<T>& link(const T* element) {
    return const_cast<RingLink<T>&>(static_cast<const RingLink<T>&>(*element));
  }

  T* head_ = nullptr;
  int count_ = 0;
};

// A walk over a ring in visiting order.
template <typename T>
class RingIterator {
 public:
  explicit RingIterator(const Ring<T>& ring) : ring_(&ring) {}

  // The next element (the head on the first step), or null at the end.
  T* Next() {
    if (curr_ == nullptr) {
      if (done_) return nullptr;
      curr_ = ring_->head();
    } else {
      curr_ = ring_->after(curr_);
    }
    done_ = curr_ == nullptr;
    return curr_;
  }
  T* Curr() const { return curr_; }
  // The next step starts again at the head.
  void resetCurr() {
    curr_ = nullptr;
    done_ = false;
  }

 private:
  const Ring<T>* ring_;
  T* curr_ = nullptr;
  bool done_ = false;
};
