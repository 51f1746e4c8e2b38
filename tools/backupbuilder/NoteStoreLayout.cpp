#include "tools/backupbuilder/NoteStoreLayout.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace fq::builder {
namespace {

// ZICCLOUDSYNCINGOBJECT of a real iOS 17.3 store, in the order of its records.
const char* const kIos17Columns[] = {
    "Z_PK INTEGER PRIMARY KEY",
    "Z_ENT INTEGER",
    "Z_OPT INTEGER",
    "ZCRYPTOITERATIONCOUNT INTEGER",
    "ZISPASSWORDPROTECTED INTEGER",
    "ZISSHAREDIRTY INTEGER",
    "ZMARKEDFORDELETION INTEGER",
    "ZMINIMUMSUPPORTEDNOTESVERSION INTEGER",
    "ZNEEDSINITIALFETCHFROMCLOUD INTEGER",
    "ZNEEDSTOBEFETCHEDFROMCLOUD INTEGER",
    "ZNEEDSTOSAVEUSERSPECIFICRECORD INTEGER",
    "ZCLOUDSTATE INTEGER",
    "ZINVITATION INTEGER",
    "ZLOCKEDNOTESMODE INTEGER",
    "ZACCOUNT INTEGER",
    "ZCHECKEDFORLOCATION INTEGER",
    "ZFILESIZE INTEGER",
    "ZHANDWRITINGSUMMARYVERSION INTEGER",
    "ZHASMARKUPDATA INTEGER",
    "ZIMAGECLASSIFICATIONSUMMARYVERSION INTEGER",
    "ZIMAGEFILTERTYPE INTEGER",
    "ZNEEDSINITIALRELATIONSHIPSETUP INTEGER",
    "ZOCRSUMMARYVERSION INTEGER",
    "ZORIENTATION INTEGER",
    "ZSECTION INTEGER",
    "ZURLEXPIRED INTEGER",
    "ZACCOUNT1 INTEGER",
    "ZLOCATION INTEGER",
    "ZMEDIA INTEGER",
    "ZNOTE INTEGER",
    "ZNOTEUSINGTITLEFORNOTETITLE INTEGER",
    "ZPARENTATTACHMENT INTEGER",
    "ZAPPEARANCETYPE INTEGER",
    "ZSCALEWHENDRAWING INTEGER",
    "ZVERSION INTEGER",
    "ZVERSIONOUTOFDATE INTEGER",
    "ZATTACHMENT INTEGER",
    "ZSTATE INTEGER",
    "ZACCOUNT2 INTEGER",
    "ZACCOUNT3 INTEGER",
    "ZMENTIONNOTIFICATIONATTEMPTCOUNT INTEGER",
    "ZMENTIONNOTIFICATIONSTATE INTEGER",
    "ZACCOUNT4 INTEGER",
    "ZNOTE1 INTEGER",
    "ZPARENTATTACHMENT1 INTEGER",
    "ZTYPE INTEGER",
    "ZACCOUNT5 INTEGER",
    "ZACCOUNT6 INTEGER",
    "ZATTACHMENT1 INTEGER",
    "ZATTACHMENTVIEWTYPE INTEGER",
    "ZHASCHECKLIST INTEGER",
    "ZHASCHECKLISTINPROGRESS INTEGER",
    "ZISPINNED INTEGER",
    "ZISSYSTEMPAPER INTEGER",
    "ZLEGACYNOTEWASPLAINTEXT INTEGER",
    "ZNOTEHASCHANGES INTEGER",
    "ZPAPERSTYLETYPE INTEGER",
    "ZPREFERREDBACKGROUNDTYPE INTEGER",
    "ZACCOUNT7 INTEGER",
    "ZFOLDER INTEGER",
    "ZNOTEDATA INTEGER",
    "ZTITLESOURCEATTACHMENT INTEGER",
    "ZDATEHEADERSTYPE INTEGER",
    "ZISHIDDENNOTECONTAINER INTEGER",
    "ZSORTORDER INTEGER",
    "ZOWNER INTEGER",
    "ZACCOUNTTYPE INTEGER",
    "ZDIDCHOOSETOMIGRATE INTEGER",
    "ZDIDFINISHMIGRATION INTEGER",
    "ZDIDMIGRATEONMAC INTEGER",
    "ZSERVERSIDEUPDATETASKFAILURECOUNT INTEGER",
    "ZSTOREDATASEPARATELY INTEGER",
    "ZACCOUNTDATA INTEGER",
    "ZCUSTOMNOTESORTTYPEVALUE INTEGER",
    "ZFOLDERTYPE INTEGER",
    "ZIMPORTEDFROMLEGACY INTEGER",
    "ZACCOUNT8 INTEGER",
    "ZPARENT INTEGER",
    "ZCREATIONDATE TIMESTAMP",
    "ZCROPPINGQUADBOTTOMLEFTX FLOAT",
    "ZCROPPINGQUADBOTTOMLEFTY FLOAT",
    "ZCROPPINGQUADBOTTOMRIGHTX FLOAT",
    "ZCROPPINGQUADBOTTOMRIGHTY FLOAT",
    "ZCROPPINGQUADTOPLEFTX FLOAT",
    "ZCROPPINGQUADTOPLEFTY FLOAT",
    "ZCROPPINGQUADTOPRIGHTX FLOAT",
    "ZCROPPINGQUADTOPRIGHTY FLOAT",
    "ZDURATION FLOAT",
    "ZMODIFICATIONDATE TIMESTAMP",
    "ZORIGINX FLOAT",
    "ZORIGINY FLOAT",
    "ZPREVIEWUPDATEDATE TIMESTAMP",
    "ZSIZEHEIGHT FLOAT",
    "ZSIZEWIDTH FLOAT",
    "ZHEIGHT FLOAT",
    "ZMODIFIEDDATE TIMESTAMP",
    "ZSCALE FLOAT",
    "ZWIDTH FLOAT",
    "ZSTATEMODIFICATIONDATE TIMESTAMP",
    "ZCREATIONDATE1 TIMESTAMP",
    "ZCREATIONDATE2 TIMESTAMP",
    "ZMODIFICATIONDATEATIMPORT TIMESTAMP",
    "ZCREATIONDATE3 TIMESTAMP",
    "ZFOLDERMODIFICATIONDATE TIMESTAMP",
    "ZLASTACTIVITYRECENTUPDATESVIEWEDDATE TIMESTAMP",
    "ZLASTACTIVITYSUMMARYVIEWEDDATE TIMESTAMP",
    "ZLASTATTRIBUTIONSVIEWEDDATE TIMESTAMP",
    "ZLASTNOTIFIEDDATE TIMESTAMP",
    "ZLASTOPENEDDATE TIMESTAMP",
    "ZLASTVIEWEDMODIFICATIONDATE TIMESTAMP",
    "ZLEGACYMODIFICATIONDATEATIMPORT TIMESTAMP",
    "ZMODIFICATIONDATE1 TIMESTAMP",
    "ZCUSTOMNOTESORTTYPEMODIFICATIONDATE TIMESTAMP",
    "ZDATEFORLASTTITLEMODIFICATION TIMESTAMP",
    "ZPARENTMODIFICATIONDATE TIMESTAMP",
    "ZIDENTIFIER VARCHAR",
    "ZPASSWORDHINT VARCHAR",
    "ZZONEOWNERNAME VARCHAR",
    "ZADDITIONALINDEXABLETEXT VARCHAR",
    "ZFALLBACKSUBTITLEIOS VARCHAR",
    "ZFALLBACKSUBTITLEMAC VARCHAR",
    "ZFALLBACKTITLE VARCHAR",
    "ZHANDWRITINGSUMMARY VARCHAR",
    "ZIMAGECLASSIFICATIONSUMMARY VARCHAR",
    "ZOCRSUMMARY VARCHAR",
    "ZREMOTEFILEURLSTRING VARCHAR",
    "ZSUMMARY VARCHAR",
    "ZTITLE VARCHAR",
    "ZTYPEUTI VARCHAR",
    "ZURLSTRING VARCHAR",
    "ZUSERTITLE VARCHAR",
    "ZDEVICEIDENTIFIER VARCHAR",
    "ZDISPLAYTEXT VARCHAR",
    "ZSTANDARDIZEDCONTENT VARCHAR",
    "ZALTTEXT VARCHAR",
    "ZTOKENCONTENTIDENTIFIER VARCHAR",
    "ZTYPEUTI1 VARCHAR",
    "ZCONTENTHASHATIMPORT VARCHAR",
    "ZFILENAME VARCHAR",
    "ZLEGACYCONTENTHASHATIMPORT VARCHAR",
    "ZLEGACYIMPORTDEVICEIDENTIFIER VARCHAR",
    "ZLEGACYMANAGEDOBJECTIDURIREPRESENTATION VARCHAR",
    "ZSELECTEDINKCOLORSTRING VARCHAR",
    "ZSELECTEDINKIDENTIFIER VARCHAR",
    "ZSNIPPET VARCHAR",
    "ZTHUMBNAILATTACHMENTIDENTIFIER VARCHAR",
    "ZTITLE1 VARCHAR",
    "ZACCOUNTNAMEFORACCOUNTLISTSORTING VARCHAR",
    "ZNESTEDTITLEFORSORTING VARCHAR",
    "ZNAME VARCHAR",
    "ZSERVERSIDEUPDATETASKLASTATTEMPTEDBUILD VARCHAR",
    "ZSERVERSIDEUPDATETASKLASTATTEMPTEDVERSION VARCHAR",
    "ZSERVERSIDEUPDATETASKLASTCOMPLETEDBUILD VARCHAR",
    "ZSERVERSIDEUPDATETASKLASTCOMPLETEDVERSION VARCHAR",
    "ZUSERRECORDNAME VARCHAR",
    "ZSMARTFOLDERQUERYJSON VARCHAR",
    "ZTITLE2 VARCHAR",
    "ZREPLICAIDTOBUNDLEIDENTIFIER BLOB",
    "ZACTIVITYEVENTSDATA BLOB",
    "ZASSETCRYPTOINITIALIZATIONVECTOR BLOB",
    "ZASSETCRYPTOTAG BLOB",
    "ZCRYPTOINITIALIZATIONVECTOR BLOB",
    "ZCRYPTOSALT BLOB",
    "ZCRYPTOTAG BLOB",
    "ZCRYPTOWRAPPEDKEY BLOB",
    "ZENCRYPTEDVALUESJSON BLOB",
    "ZREPLICAIDTONOTESVERSIONDATA BLOB",
    "ZSERVERRECORDDATA BLOB",
    "ZSERVERSHAREDATA BLOB",
    "ZUNAPPLIEDENCRYPTEDRECORD BLOB",
    "ZUSERSPECIFICSERVERRECORDDATA BLOB",
    "ZMERGEABLEDATA BLOB",
    "ZFALLBACKIMAGECRYPTOINITIALIZATIONVECTOR BLOB",
    "ZFALLBACKIMAGECRYPTOTAG BLOB",
    "ZLINKPRESENTATIONARCHIVEDMETADATA BLOB",
    "ZMARKUPMODELDATA BLOB",
    "ZMERGEABLEDATA1 BLOB",
    "ZMETADATADATA BLOB",
    "ZSYNAPSEDATA BLOB",
    "ZCRYPTOMETADATAINITIALIZATIONVECTOR BLOB",
    "ZCRYPTOMETADATATAG BLOB",
    "ZENCRYPTEDMETADATA BLOB",
    "ZMETADATA BLOB",
    "ZLASTNOTIFIEDTIMESTAMPDATA BLOB",
    "ZLASTVIEWEDTIMESTAMPDATA BLOB",
    "ZREPLICAIDTOUSERIDDICTDATA BLOB",
    "ZCRYPTOVERIFIER BLOB",
    "ZSERVERSIDEUPDATETASKCONTINUATIONTOKEN BLOB",
    "ZMERGEABLEDATA2 BLOB",
};

// Added to that table by ALTER TABLE after its creation.
const char* const kIos17AddedColumns[] = {
    "ZGENERATION VARCHAR",
    "ZLASTSYNCDATE TIMESTAMP",
    "ZPAPERBUNDLEGENERATION VARCHAR",
    "ZFALLBACKPDFCRYPTOTAG BLOB",
    "ZGENERATION1 VARCHAR",
    "ZFALLBACKIMAGEGENERATION VARCHAR",
    "ZSUPPORTSV1NEO INTEGER",
    "ZWIDGETSNIPPET VARCHAR",
    "ZCRYPTOPASSPHRASEVERIFIER BLOB",
    "ZFALLBACKPDFCRYPTOINITIALIZATIONVECTOR BLOB",
    "ZMERGEABLEPREFERREDVIEWSIZE BLOB",
    "ZFALLBACKPDFGENERATION VARCHAR",
};

// Columns of features newer than iOS 14: mentions and activity, smart
// folders, Quick Note, date headers, custom sort orders and the account links
// those brought.
const char* const kNewerThanIos14[] = {"ZMENTIONNOTIFICATIONATTEMPTCOUNT",
                                       "ZMENTIONNOTIFICATIONSTATE",
                                       "ZACCOUNT5",
                                       "ZACCOUNT6",
                                       "ZACCOUNT7",
                                       "ZACCOUNT8",
                                       "ZISSYSTEMPAPER",
                                       "ZPAPERSTYLETYPE",
                                       "ZDATEHEADERSTYPE",
                                       "ZCREATIONDATE3",
                                       "ZLASTACTIVITYRECENTUPDATESVIEWEDDATE",
                                       "ZLASTACTIVITYSUMMARYVIEWEDDATE",
                                       "ZLASTATTRIBUTIONSVIEWEDDATE",
                                       "ZLASTNOTIFIEDDATE",
                                       "ZLASTOPENEDDATE",
                                       "ZLASTVIEWEDMODIFICATIONDATE",
                                       "ZDISPLAYTEXT",
                                       "ZSTANDARDIZEDCONTENT",
                                       "ZALTTEXT",
                                       "ZTOKENCONTENTIDENTIFIER",
                                       "ZSMARTFOLDERQUERYJSON",
                                       "ZACTIVITYEVENTSDATA",
                                       "ZSYNAPSEDATA",
                                       "ZLASTNOTIFIEDTIMESTAMPDATA",
                                       "ZLASTVIEWEDTIMESTAMPDATA",
                                       "ZREPLICAIDTOUSERIDDICTDATA",
                                       "ZCUSTOMNOTESORTTYPEVALUE",
                                       "ZCUSTOMNOTESORTTYPEMODIFICATIONDATE",
                                       "ZACCOUNTNAMEFORACCOUNTLISTSORTING",
                                       "ZNESTEDTITLEFORSORTING"};

// Columns of iOS 14 features (pinned checklists, paper backgrounds, fallback subtitles).
const char* const kNewInIos14[] = {"ZACCOUNT4", "ZPREFERREDBACKGROUNDTYPE", "ZHASCHECKLISTINPROGRESS",
                                   "ZFALLBACKSUBTITLEIOS", "ZFALLBACKSUBTITLEMAC"};

template <size_t N>
bool Names(const char* const (&names)[N], std::string_view declaration) {
  const std::string_view name = declaration.substr(0, declaration.find(' '));
  return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
}

// Z_PRIMARYKEY of the real iOS 17.3 store: each entity and its super entity.
constexpr std::pair<std::string_view, std::string_view> kIos17Entities[] = {
    {"ICCloudState", {}},
    {"ICCloudSyncingObject", {}},
    {"ICAccountData", "ICCloudSyncingObject"},
    {"ICAttachment", "ICCloudSyncingObject"},
    {"ICAttachmentPreviewImage", "ICCloudSyncingObject"},
    {"ICDeviceMigrationState", "ICCloudSyncingObject"},
    {"ICHashtag", "ICCloudSyncingObject"},
    {"ICInlineAttachment", "ICCloudSyncingObject"},
    {"ICLegacyTombstone", "ICCloudSyncingObject"},
    {"ICMedia", "ICCloudSyncingObject"},
    {"ICNote", "ICCloudSyncingObject"},
    {"ICNoteContainer", "ICCloudSyncingObject"},
    {"ICAccount", "ICNoteContainer"},
    {"ICFolder", "ICNoteContainer"},
    {"ICInvitation", {}},
    {"ICLocation", {}},
    {"ICAttachmentLocation", "ICLocation"},
    {"ICNoteData", {}},
    {"ICNoteParticipant", {}},
    {"ICServerChangeToken", {}},
};

// The entities of `list` less those named in `absent`, numbered in list order
// as Core Data numbers them; each names its super entity by number.
template <size_t N>
std::vector<NoteStoreEntity> Entities(const std::pair<std::string_view, std::string_view> (&list)[N],
                                      const std::vector<std::string_view>& absent) {
  std::vector<NoteStoreEntity> out;
  for (const auto& [name, super] : list) {
    if (std::find(absent.begin(), absent.end(), name) != absent.end()) continue;
    NoteStoreEntity entity{static_cast<int>(out.size()) + 1, std::string(name), 0};
    for (const NoteStoreEntity& e : out) {
      if (!super.empty() && e.name == super) entity.super = e.number;
    }
    out.push_back(std::move(entity));
  }
  // Core Data's persistent history keeps its own entities, numbered apart.
  out.push_back({16001, "CHANGE", 0});
  out.push_back({16002, "TRANSACTION", 0});
  out.push_back({16003, "TRANSACTIONSTRING", 0});
  return out;
}

}  // namespace

int NoteStoreLayout::entity(const std::string& name) const {
  for (const NoteStoreEntity& e : entities) {
    if (e.name == name) return e.number;
  }
  throw std::logic_error("no entity " + name + " in this NoteStore layout");
}

bool HasNoteStore(PhoneSystem system) { return system != PhoneSystem::Ios8; }

NoteStoreLayout NoteStoreLayoutOf(std::optional<PhoneSystem> system) {
  NoteStoreLayout layout;
  if (!system) {
    layout.columns = {"Z_PK INTEGER PRIMARY KEY",
                      "Z_ENT INTEGER",
                      "Z_OPT INTEGER",
                      "ZCRYPTOITERATIONCOUNT INTEGER",
                      "ZISPASSWORDPROTECTED INTEGER",
                      "ZMARKEDFORDELETION INTEGER",
                      "ZNEEDSINITIALFETCHFROMCLOUD INTEGER",
                      "ZACCOUNTTYPE INTEGER",
                      "ZNOTE INTEGER",
                      "ZFOLDER INTEGER",
                      "ZNOTEDATA INTEGER",
                      "ZCREATIONDATE TIMESTAMP",
                      "ZMODIFICATIONDATE TIMESTAMP",
                      "ZCREATIONDATE1 TIMESTAMP",
                      "ZMODIFICATIONDATE1 TIMESTAMP",
                      "ZIDENTIFIER VARCHAR",
                      "ZTITLE VARCHAR",
                      "ZNAME VARCHAR",
                      "ZSNIPPET VARCHAR",
                      "ZTITLE1 VARCHAR",
                      "ZTITLE2 VARCHAR",
                      "ZCRYPTOTAG BLOB"};
    layout.entities = {{2, "ICCloudSyncingObject", 0},
                       {11, "ICNote", 2},
                       {13, "ICAccount", 12},
                       {14, "ICFolder", 12},
                       {18, "ICNoteData", 0}};
    layout.creationDateColumn = "ZCREATIONDATE1";
    return layout;
  }
  const bool ios17 = *system == PhoneSystem::Ios17;
  for (const char* declaration : kIos17Columns) {
    if (!ios17 && Names(kNewerThanIos14, declaration)) continue;
    if (*system == PhoneSystem::Ios13 && Names(kNewInIos14, declaration)) continue;
    layout.columns.emplace_back(declaration);
  }
  if (ios17) {
    layout.addedColumns.assign(std::begin(kIos17AddedColumns), std::end(kIos17AddedColumns));
    layout.entities = Entities(kIos17Entities, {});
    // Measured: iOS 17 notes keep ZCREATIONDATE1 NULL and link their account in ZACCOUNT7.
    layout.creationDateColumn = "ZCREATIONDATE3";
    layout.noteAccountColumn = "ZACCOUNT7";
    return layout;
  }
  // Fewer entities, so the note's entity number differs from iOS 17's too.
  std::vector<std::string_view> absent = {"ICAccountData", "ICDeviceMigrationState", "ICInlineAttachment",
                                          "ICNoteParticipant"};
  if (*system == PhoneSystem::Ios13) absent.emplace_back("ICHashtag");
  layout.entities = Entities(kIos17Entities, absent);
  layout.creationDateColumn = "ZCREATIONDATE1";
  layout.noteAccountColumn = "ZACCOUNT2";
  return layout;
}

}  // namespace fq::builder
