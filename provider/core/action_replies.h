// The answer to an action (0x1050: its ID, its status and, in the result form, its
// result text) goes back through the DCH client like every request: the thread
// that answers puts the action on a private reply source in state Reply, queues it
// and waits; the DCH client sends it and sets the source back to Action.
#pragma once

#include <cstdint>

struct ActionEntry;
struct DCHcomm;
struct DPAB;
struct ProcessEntry;
struct SourceEntry;

// A reply source of the owner's (its DCH requests wake the owner), or null without
// storage; and its release.
SourceEntry* ZEVP_NewActionReplySource(ProcessEntry* owner);
void ZEVP_FreeActionReplySource(DPAB* anchor, SourceEntry** source);

// Has the DCH client answer the action and waits until it has (or the data provider
// has ended). own is the calling thread's process entry, the reply source's owner.
void ZEVP_ReplyThroughDCHclient(DPAB* anchor, ProcessEntry* own, SourceEntry* reply, ActionEntry* entry);

// The DCH client's part, for a source in state Reply: the result form when the
// action's status is 0 or it has a result text (which is then freed), else the
// status form; the DCH status is left in comm. An action numbered 0 cannot be
// named to the agent and is not answered.
void ZEVP_ProvideActionReply(SourceEntry* source, DCHcomm* comm);

// The two forms, sent for the source (again while the agent answers 7).
void ZEVP_SendProvideActionStatus(DCHcomm* comm, SourceEntry* source, uint32_t actionID, int32_t status);
void ZEVP_SendProvideActionResult(DCHcomm* comm, SourceEntry* source, ActionEntry* entry);
