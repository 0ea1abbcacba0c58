// Chat, group, list windows and the read-and-ignore set: opcodes 50, 61-66, 83-93, 102,
// 107, 110-114, 119-125, 131, 132, 148-151, 157, 167, 185, 186.
#include "net/opcodes_internal.h"

static const FieldDesc kChatFields[] = {
    NET_FIELD(MsgChat, channel, FIELD_U32), NET_FIELD(MsgChat, sender, FIELD_STR),
    NET_FIELD(MsgChat, value, FIELD_U32),   NET_FIELD(MsgChat, kind, FIELD_I32),
    NET_FIELD(MsgChat, text, FIELD_STR),
};
static const RecordDesc kChat = NET_RECORD("chat", MsgChat, kChatFields);
static const FieldDesc kTextFields[] = {NET_FIELD(MsgText, text, FIELD_STR)};
static const RecordDesc kText = NET_RECORD("text", MsgText, kTextFields);

static const FieldDesc kEntry4Fields[] = {NET_ARRAY(Entry4, values, FIELD_I32, 4)};
static const RecordDesc kEntry4 = NET_ENTRY("entry4", Entry4, kEntry4Fields, 0, nullptr);
static const FieldDesc kEntry3Fields[] = {NET_ARRAY(Entry3, values, FIELD_I32, 3)};
static const RecordDesc kEntry3 = NET_ENTRY("entry3", Entry3, kEntry3Fields, 0, nullptr);
static const FieldDesc kList6OpenFields[] = {
    NET_FIELD(MsgList6Open, title, FIELD_STR),
    NET_LIST(MsgList6Open, entries, FIELD_LIST_I32, kEntry4),
};
static const RecordDesc kList6Open = NET_RECORD("list6_open", MsgList6Open, kList6OpenFields);
static const FieldDesc kMsgEntry4Fields[] = {NET_ARRAY(MsgEntry4, values, FIELD_I32, 4)};
static const RecordDesc kMsgEntry4 = NET_RECORD("entry4", MsgEntry4, kMsgEntry4Fields);
static const FieldDesc kIntPairFields[] = {NET_FIELD(MsgIntPair, a, FIELD_I32),
                                           NET_FIELD(MsgIntPair, b, FIELD_I32)};
static const RecordDesc kIntPair = NET_RECORD("int_pair", MsgIntPair, kIntPairFields);
static const FieldDesc kIntFields[] = {NET_FIELD(MsgInt, value, FIELD_I32)};
static const RecordDesc kInt = NET_RECORD("int", MsgInt, kIntFields);
static const FieldDesc kList4OpenFields[] = {
    NET_FIELD(MsgList4Open, value, FIELD_U32),
    NET_FIELD(MsgList4Open, title, FIELD_STR),
    NET_LIST(MsgList4Open, entries, FIELD_LIST_I32, kEntry3),
};
static const RecordDesc kList4Open = NET_RECORD("list4_open", MsgList4Open, kList4OpenFields);
static const FieldDesc kListOpenFields[] = {
    NET_FIELD(MsgList4Open, value, FIELD_U32),
    NET_FIELD(MsgList4Open, title, FIELD_STR),
    NET_FIELD(MsgList4Open, extra, FIELD_I32),
    NET_LIST(MsgList4Open, entries, FIELD_LIST_I32, kEntry3),
};
static const RecordDesc kListOpen = NET_RECORD("list_open", MsgList4Open, kListOpenFields);

// Read-and-ignore payloads: read as their rows give them, then dropped.
static const FieldDesc kIgnore61Fields[] = {
    NET_FIELD(MsgIgnored, text, FIELD_STR),
    NET_FIELD(MsgIgnored, flag, FIELD_BOOL),
    NET_FIELD(MsgIgnored, value, FIELD_I32),
};
static const RecordDesc kIgnore61 = NET_RECORD("ignore_text_flag_int", MsgIgnored, kIgnore61Fields);
static const FieldDesc kIgnore65Fields[] = {NET_FIELD(MsgIgnored, text, FIELD_STR),
                                            NET_FIELD(MsgIgnored, flag, FIELD_BOOL)};
static const RecordDesc kIgnore65 = NET_RECORD("ignore_text_flag", MsgIgnored, kIgnore65Fields);
static const FieldDesc kIgnore66Fields[] = {NET_FIELD(MsgIgnored, text, FIELD_STR),
                                            NET_FIELD(MsgIgnored, value, FIELD_I32)};
static const RecordDesc kIgnore66 = NET_RECORD("ignore_text_int", MsgIgnored, kIgnore66Fields);
static const FieldDesc kIgnore124Fields[] = {NET_FIELD(MsgIgnored, value, FIELD_I32),
                                             NET_FIELD(MsgIgnored, number, FIELD_F32)};
static const RecordDesc kIgnore124 = NET_RECORD("ignore_int_float", MsgIgnored, kIgnore124Fields);
static const FieldDesc kIgnore131Fields[] = {NET_FIELD(MsgIgnored, word, FIELD_U32)};
static const RecordDesc kIgnore131 = NET_RECORD("ignore_word", MsgIgnored, kIgnore131Fields);
static const FieldDesc kIgnore148Fields[] = {NET_FIELD(MsgIgnored, word, FIELD_U32),
                                             NET_FIELD(MsgIgnored, text, FIELD_STR)};
static const RecordDesc kIgnore148 = NET_RECORD("ignore_word_text", MsgIgnored, kIgnore148Fields);

void net_opcodes_lists(NetOpcode* slots) {
  net_slot(slots, MSG_CHAT, &kChat, NET_EFFECT_chat);
  net_slot(slots, MSG_GROUP_INVITE, &kText, NET_EFFECT_group_invite, 0x3F0CDEEC, NOTICE_CHAT_NAMED);
  net_slot(slots, MSG_GROUP_NOTICE, nullptr, NET_EFFECT_group_line, 0x7FDED554, NOTICE_CHAT);
  net_slot(slots, MSG_GROUP_FORMED, &kNetGroupSnapshot, NET_EFFECT_group_store, 0x4EF311FD, NOTICE_CHAT);
  net_slot(slots, MSG_GROUP_LEFT, nullptr, NET_EFFECT_group_clear, 0x1F10F723, NOTICE_CHAT);
  net_slot(slots, MSG_GROUP_DISBANDED, nullptr, NET_EFFECT_group_clear, 0x6A201816, NOTICE_CHAT);
  net_slot(slots, MSG_GROUP_JOINED, &kNetGroupSnapshot, NET_EFFECT_group_store, 0x44453094,
           NOTICE_CHAT_NAMED);
  net_slot(slots, MSG_GROUP_MEMBER_A, &kNetGroupSnapshot, NET_EFFECT_group_store, 0x4C81FF0C,
           NOTICE_CHAT_NAMED);
  net_slot(slots, MSG_GROUP_MEMBER_B, &kNetGroupSnapshot, NET_EFFECT_group_store, 0x643D759E,
           NOTICE_CHAT_NAMED);
  net_slot(slots, MSG_GROUP_MEMBER_C, &kNetGroupSnapshot, NET_EFFECT_group_store, 0x28AF669E,
           NOTICE_CHAT_NAMED);
  net_slot(slots, MSG_GROUP_ENDED, nullptr, NET_EFFECT_group_clear, 0x735B7169, NOTICE_CHAT);
  net_slot(slots, MSG_GROUP_UPDATE, &kNetGroupSnapshot, NET_EFFECT_group_store);
  net_slot(slots, MSG_LIST6_OPEN, &kList6Open, NET_EFFECT_list6_open);
  net_slot(slots, MSG_LIST6_CLOSE, nullptr, NET_EFFECT_list6_close);
  net_slot(slots, MSG_LIST6_ADD, &kMsgEntry4, NET_EFFECT_list6_add);
  net_slot(slots, MSG_LIST6_UPDATE, &kMsgEntry4, NET_EFFECT_list6_update);
  net_slot(slots, MSG_LIST6_REMOVE, &kIntPair, NET_EFFECT_list6_remove);
  net_slot(slots, MSG_WINDOW8_OPEN, nullptr, NET_EFFECT_window8_open);
  net_slot(slots, MSG_WINDOW8_CLOSE, nullptr, NET_EFFECT_window8_close);
  net_slot(slots, MSG_LIST4_OPEN, &kList4Open, NET_EFFECT_list4_open);
  net_slot(slots, MSG_LIST4_CLOSE, nullptr, NET_EFFECT_list4_close);
  net_slot(slots, MSG_LIST4_REMOVE, &kInt, NET_EFFECT_list4_remove);
  net_slot(slots, MSG_LIST_OPEN, &kListOpen, NET_EFFECT_list_open);
  net_slot(slots, MSG_LIST_CLOSE, nullptr, NET_EFFECT_list_close);

  net_slot(slots, 61, &kIgnore61, NET_EFFECT_NONE);
  net_slot(slots, 62, &kText, NET_EFFECT_NONE);
  net_slot(slots, 63, &kText, NET_EFFECT_NONE);
  net_slot(slots, 64, &kText, NET_EFFECT_NONE);
  net_slot(slots, 65, &kIgnore65, NET_EFFECT_NONE);
  net_slot(slots, 66, &kIgnore66, NET_EFFECT_NONE);
  net_slot(slots, 124, &kIgnore124, NET_EFFECT_NONE);
  net_slot(slots, 125, &kIgnore124, NET_EFFECT_NONE);
  net_slot(slots, 131, &kIgnore131, NET_EFFECT_NONE);
  net_slot(slots, 132, &kIgnore131, NET_EFFECT_NONE);
  net_slot(slots, 148, &kIgnore148, NET_EFFECT_NONE);
  net_slot(slots, 167, &kIntPair, NET_EFFECT_NONE);
  static const int32_t kNothing[] = {102, 107, 149, 150, 151, 157};
  for (int32_t op : kNothing) net_slot(slots, op, nullptr, NET_EFFECT_NONE);
}
