// The application of the posted messages: the metafile "ZEVPOST" when there is one,
// else the built-in group of five attributes.
#include <iterator>

#include "application_entry.h"
#include "builtin_group.h"
#include "metafile_parser.h"
#include "metafile_text.h"
#include "model_release.h"
#include "post_server.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr char kMetafileName[] = "ZEVPOST";

constexpr zevp::BuiltInAttribute kPostAttributes[] = {
    {"Post_Time", "T", nullptr, 0, 0, nullptr},   {"Post_Origin", "D", "32", 0, 0, nullptr},
    {"Post_Ack_Stamp", "D", "26", 0, 0, nullptr}, {"Post_Text", "D", "512", 0, 0, nullptr},
    {"Post_Category", "D", "16", 0, 0, nullptr},
};

ApplicationEntry* LoadPostMetafile(DPAB* anchor) {
  int definitionError = 0;
  int alreadyLoaded = 0;
  return ZEVP_ConstructApplDataModel(anchor, kMetafileName, 0, &definitionError, &alreadyLoaded, 0, 1);
}

ApplicationEntry* DefineBuiltIn(DPAB* anchor) {
  const char* name = ZEV0_GetEnv("ZEVP_POST_APPL_NAME", "MAS");
  ApplicationEntry* application = ZEVP_InitializeApplicationEntry(anchor, name, 1, nullptr);
  if (application == nullptr) {
    TRC(TRC_ERROR, "*** Failed to initialize Post DP ApplicationEntry control block for Application <%s>", name);
    return nullptr;
  }
  application->MetafileName = zevp::NewStorageText(kMetafileName);
  application->MetafileNameUpper = zevp::NewStorageText(kMetafileName);
  zevp::BuiltInGroup group = {ZEV0_GetEnv("ZEVP_POST_GROUP_NAME", "dpPost"), "S", nullptr, kPostAttributes,
                              static_cast<int>(std::size(kPostAttributes))};
  SourceEntry* source = zevp::DefineBuiltInGroup(anchor, application, group, ZEV0_GetEnv("ZEVP_POST_APPL_TTL", "3600"));
  if (source != nullptr) source->AttrDelimiter = zevp::NewStorageText(";");
  if (source == nullptr || source->AttrDelimiter == nullptr) {
    TRC(TRC_ERROR, "*** Failed to define the Post DP attribute group of Application <%s>", name);
    ZEVP_ReleaseApplResources(anchor, application, 1);
    return nullptr;
  }
  return application;
}

}  // namespace

ApplicationEntry* ZEVP_DefineDPpostApplication(DPAB* anchor) {
  ApplicationEntry* application = LoadPostMetafile(anchor);
  if (application == nullptr) application = DefineBuiltIn(anchor);
  if (application == nullptr || application->FirstTable == nullptr || application->FirstTable->FirstSource == nullptr)
    return nullptr;
  zevp::NameBuiltInSource(anchor, application->FirstTable->FirstSource);
  return application;
}
