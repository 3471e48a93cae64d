// The catalogue (CAT) file: the physical layout of the application's tables, one group's
// records per call (catalogue_records.h).
#include <cstring>

#include "catalogue_records.h"
#include "definition_file.h"
#include "field_walk.h"
#include "trc1.h"
#include "user_data_info.h"
#include "user_data_list.h"

TRC_UNIT();

namespace {

const char* LocatorOf(char sampleType) {
  switch (sampleType) {
    case 'P':
    case 'S':
    case 'K':
      return "TZOCXLOC";
    case 'E':
      return "TZOCXEVT";
    default:
      return "";
  }
}

}  // namespace

int userDataList::generateCATfile(userDataListEntry* entry, int firstGroup) {
  DefinitionFile file;
  if (!file.open(applKey_, "CAT", RR_, firstGroup != 0 ? "w" : "a")) return 1;
  if (firstGroup != 0 && (!file.writeLine(CatalogueHeaderRecord(keyRR_, timeStamp_, cvrm_, priorVRM_)) ||
                          !file.writeLine(CatalogueTitleRecord(keyRR_))))
    return 1;
  const userDataInfo* table = entry->udi();
  for (int i = 0; i < table->noOfColumns(); ++i) {
    const attrInfo_t* column = table->attrInfo(i);
    if (column == nullptr) {
      TRC(TRC_ERROR, "Error: invalid attrInfo");
      return 1;
    }
    std::string columnId = "ZEV" + std::to_string(++columnCounter_);
    std::string domainName = std::string("D_") + column->typeImage;
    if (!addDomain(domainName)) return 1;
    CatalogueDomain domain;
    if (!CatalogueDomainOf(domainName, &domain)) {
      TRC(TRC_ERROR, "Error: invalid domain. <%s>", domainName.c_str());
      return 1;
    }
    // A number cut to its field would place the column wrongly.
    if (domain.length > kMaxCatalogueNumber || column->offset > kMaxCatalogueNumber) {
      TRC(TRC_ERROR, "Error: column <%s> of table <%s>: length %ld or offset %d beyond %ld", column->attrName,
          currTableName_, domain.length, column->offset, kMaxCatalogueNumber);
      return 1;
    }
    if (!file.writeLine(CatalogueColumnRecord(keyRR_, currTableName_, column->colName, domainName, columnId)) ||
        !file.writeLine(CataloguePositionRecord(keyRR_, columnId, domain.length, column->offset)))
      return 1;
    if (std::strcmp(column->colName, kOriginNodeColumn) == 0 &&
        !file.writeLine(CatalogueIndexRecord(keyRR_, currTableName_, column->colName, i + 1)))
      return 1;
  }
  // Each domain once, in the section of the first group that uses it.
  FieldWalk domains(domainSet_);
  std::string_view domainName;
  while (domains.next(';', &domainName)) {
    CatalogueDomain domain;
    if (findDomain(domainName) != 0 || !CatalogueDomainOf(domainName, &domain)) continue;
    if (!file.writeLine(CatalogueDomainRecord(keyRR_, domainName, domain))) return 1;
  }
  if (!file.writeLine(CatalogueTableRecord(keyRR_, currTableName_, LocatorOf(entry->sampleType())))) return 1;
  return file.close() ? 0 : 1;
}
