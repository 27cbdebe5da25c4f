// The catalogue of built-in defaults: every setting the library knows with its default, section by section in
// registration order, then the priority entries that shadow some of them.
//
// Web addresses, the live gateway's host name, the North-American start town and the demonstration routes are
// this deployment's own choices; the web addresses lie under the reserved .example domain.
#include "defaults/catalogue.h"

#include <iterator>

namespace navconfig {
namespace {

const CatalogueEntry kDistanceCache[] = {
    Int("DistanceCache\\Size", 10000),
};

const CatalogueEntry kImage[] = {
    Int("Image\\KeepPercent", 50),
    Int("Image\\AllowSquish"),
};

const CatalogueEntry kLinkCacheFlatten[] = {
    Int("LinkCacheFlatten\\Enabled", 1),
};

const CatalogueEntry kPolygon[] = {
    Int("Polygon\\AvgCacheItemSize", 50000),
    Int("Polygon\\Water", 1),
    Int("Polygon\\Parks", 1),
    Int("Polygon\\Urban Areas", 1),
    Int("Polygon\\Railroads", 1),
    Int("Polygon\\Airports", 1),
    Int("Polygon\\Islands", 1),
    Int("Polygon\\Military Bases", 1),
    Int("Polygon\\County Boundaries", 1),
    Int("Polygon\\State Boundaries", 1),
};

const CatalogueEntry kPolygonFilesToBeCopied[] = {
    Str("PolygonFilesToBeCopied\\File01", "coast.chn"),
    Str("PolygonFilesToBeCopied\\File02", "coast.crd"),
    Str("PolygonFilesToBeCopied\\File03", "coast.set"),
    Str("PolygonFilesToBeCopied\\File04", "coast.thn"),
    Str("PolygonFilesToBeCopied\\File05", "politcal.chn"),
    Str("PolygonFilesToBeCopied\\File06", "politcal.crd"),
    Str("PolygonFilesToBeCopied\\File07", "politcal.set"),
};

const CatalogueEntry kCache[] = {
    Int("Cache\\ForceStartupMemoryAvailKB"),
    Int("Cache\\ForceRuntimeMemoryAvailKB"),
};

const CatalogueEntry kData[] = {
    Int("Data\\YearVersion", 2008),
    Int("Data\\QuarterVersion", 2),
    Int("Data\\VersionedGrid", -1),
    Int("Data\\CurrentRevision", 1),
    Int("Data\\BaseFilesCopied"),
    Int("Data\\PicFilesCopied"),
};

const CatalogueEntry kAddOns[] = {
    Int("AddOns\\Tolls"),
    Int("AddOns\\TollFail", 1),
};

const CatalogueEntry kDirectories[] = {
    Str("Directories\\AddonDir", ""),
    Str("Directories\\AudioDir", ""),
    Str("Directories\\BatchDir", "/batchgeo/"),
    Str("Directories\\CitiesDir", ""),
    Str("Directories\\GPSDemoDir", ""),
    Str("Directories\\GlobalAddonDir", ""),
    Str("Directories\\LRGeoDir", ""),
    Str("Directories\\LRGlobalSaveDir", ""),
    Str("Directories\\LRGridDir", ""),
    Str("Directories\\OROSpeedsDir", ""),
    Str("Directories\\InrixSpeedsDir", ""),
    Str("Directories\\LRInfoDir", ""),
    Str("Directories\\UpdateDir", "/drivora/update"),
    Str("Directories\\LRSaveDir", ""),
    Str("Directories\\ImpNetDir", "/dummy"),
    Str("Directories\\PolyDir", ""),
    Str("Directories\\TMCDir", ""),
    Str("Directories\\RegionDir", ""),
    Str("Directories\\RootDir", ""),
    Str("Directories\\SkinDir", ""),
    Str("Directories\\SkinDir2", ""),
    Str("Directories\\SkinDir3", ""),
    Str("Directories\\SkinDir4", ""),
    Str("Directories\\ThemesDir", ""),
    Str("Directories\\MemoDir", ""),
    Str("Directories\\KMXDBDir", ""),
    Str("Directories\\SpeechDir", ""),
    Str("Directories\\LRGPSSaveDir", ""),
    Str("Directories\\UIConfigDir", ""),
    Str("Directories\\UIConfigDir2", ""),
    Str("Directories\\LRBmpsDir", ""),
    Str("Directories\\SatMapTimeDir", "."),
    Str("Directories\\LRHelpDir", ""),
    Str("Directories\\PolyLandmarksDir", ""),
    Str("Directories\\PhotoNavLibrary", ""),
    Str("Directories\\MapUpdatesDir", ""),
    Str("Directories\\MapUpdatesSupportDir", ""),
    Str("Directories\\MapUpdatesSupportFileName", "support.xpds"),
};

const CatalogueEntry kOverrides[] = {
    Str("Overrides\\DirPath", "LRInfoDir"),
};

const CatalogueEntry kFilePolicies[] = {
    Int("File Policies\\00000000.cix", 1),
    Int("File Policies\\10000000.cix", 5),
    Int("File Policies\\20000000.cix", 5),
    Int("File Policies\\30000000.cix", 1),
    Int("File Policies\\40000000.cix", 5),
    Int("File Policies\\50000000.cix"),
    Int("File Policies\\60000000.cix"),
    Int("File Policies\\70000000.cix", 5),
    Int("File Policies\\80000000.cix"),
    Int("File Policies\\90000000.cix"),
    Int("File Policies\\a0000000.cix"),
    Int("File Policies\\b0000000.cix", 5),
    Int("File Policies\\c0000000.cix"),
    Int("File Policies\\d0000000.cix"),
    Int("File Policies\\e0000000.cix"),
    Int("File Policies\\f0000000.cix", 5),
    Int("File Policies\\00000000.cgd", 1),
    Int("File Policies\\10000000.cgd", 5),
    Int("File Policies\\20000000.cgd", 5),
    Int("File Policies\\30000000.cgd", 1),
    Int("File Policies\\40000000.cgd", 5),
    Int("File Policies\\50000000.cgd", 1),
    Int("File Policies\\60000000.cgd", 1),
    Int("File Policies\\70000000.cgd", 5),
    Int("File Policies\\80000000.cgd", 1),
    Int("File Policies\\90000000.cgd", 1),
    Int("File Policies\\a0000000.cgd", 1),
    Int("File Policies\\b0000000.cgd", 5),
    Int("File Policies\\c0000000.cgd", 1),
    Int("File Policies\\d0000000.cgd", 1),
    Int("File Policies\\e0000000.cgd", 1),
    Int("File Policies\\f0000000.cgd", 5),
    Int("File Policies\\street.snm"),
    Int("File Policies\\street.pfx"),
    Int("File Policies\\street.sfx"),
    Int("File Policies\\street.typ"),
    Int("File Policies\\phoneme.snm"),
    Mem("File Policies\\cities.act"),
    Mem("File Policies\\cities.agt"),
    Mem("File Policies\\cities.ast"),
    Mem("File Policies\\cities.nms"),
    Mem("File Policies\\cities.cni"),
    Mem("File Policies\\cities.dat"),
    Mem("File Policies\\cities.zst"),
    Mem("File Policies\\cities.nst"),
    Mem("File Policies\\cities.sst"),
    Mem("File Policies\\cities.inx"),
    Mem("File Policies\\splcs.dat"),
    Mem("File Policies\\canposts.dat"),
    Int("File Policies\\cities.nsx"),
    Int("File Policies\\cities.six"),
    Mem("File Policies\\cities_phonemes.nms"),
    Mem("File Policies\\citiesb.gst"),
    Mem("File Policies\\cities.tmz"),
    Int("File Policies\\cities.nix"),
    Int("File Policies\\citiesb.inx"),
    Int("File Policies\\citiesl.map"),
    Int("File Policies\\citiesl.cni"),
    Int("File Policies\\citiesl.nms"),
    Mem("File Policies\\citiesl_phonemes.nms"),
    Int("File Policies\\counties.nms"),
    Int("File Policies\\counties.cni"),
    Mem("File Policies\\counties_phonemes.nms"),
    Mem("File Policies\\zipbbs.dat"),
    Mem("File Policies\\postcode.dat"),
    Mem("File Policies\\postcode.lup"),
    Int("File Policies\\poly0.cix", 1),
    Int("File Policies\\poly1.cix", 5),
    Int("File Policies\\poly2.cix", 5),
    Int("File Policies\\poly3.cix", 5),
    Int("File Policies\\poly4.cix"),
    Int("File Policies\\poly5.cix", 5),
    Int("File Policies\\poly6.cix", 5),
    Int("File Policies\\poly7.cix", 5),
    Int("File Policies\\poly8.cix"),
    Int("File Policies\\poly9.cix", 5),
    Int("File Policies\\polya.cix", 5),
    Int("File Policies\\polyb.cix", 5),
    Int("File Policies\\polyc.cix"),
    Int("File Policies\\polyd.cix", 5),
    Int("File Policies\\polye.cix", 5),
    Int("File Policies\\polyf.cix", 5),
    Int("File Policies\\poly0.cgd", 1),
    Int("File Policies\\poly1.cgd", 5),
    Int("File Policies\\poly2.cgd", 5),
    Int("File Policies\\poly3.cgd", 5),
    Int("File Policies\\poly4.cgd", 1),
    Int("File Policies\\poly5.cgd", 5),
    Int("File Policies\\poly6.cgd", 5),
    Int("File Policies\\poly7.cgd", 5),
    Int("File Policies\\poly8.cgd", 1),
    Int("File Policies\\poly9.cgd", 5),
    Int("File Policies\\polya.cgd", 5),
    Int("File Policies\\polyb.cgd", 5),
    Int("File Policies\\polyc.cgd", 1),
    Int("File Policies\\polyd.cgd", 5),
    Int("File Policies\\polye.cgd", 5),
    Int("File Policies\\polyf.cgd", 5),
    Int("File Policies\\tmcevtcode.dat", 1),
    Int("File Policies\\tmcloccode.dat", 1),
    Int("File Policies\\tmcindex.dat", 1),
    Int("File Policies\\truckweights.dat"),
    Int("File Policies\\truckspeedlimits.dat"),
    Int("File Policies\\tmc.loc", 1),
    Int("File Policies\\tmc.dat", 1),
    Int("File Policies\\tmc.idx", 1),
    Int("File Policies\\tmc.lup", 1),
    Int("File Policies\\speedprofile.dat", 1),
};

const CatalogueEntry kInstalledRegions[] = {
    Int("InstalledRegions\\AF"),
    Int("InstalledRegions\\AS"),
    Int("InstalledRegions\\OC"),
    Int("InstalledRegions\\EU"),
    Int("InstalledRegions\\NA"),
    Int("InstalledRegions\\SA"),
    Int("InstalledRegions\\ME"),
    Int("InstalledRegions\\SE"),
};

const CatalogueEntry kRelativeDirectories[] = {
    Str("RelativeDirectories\\LRGPSSaveDir", "./gpstracks/"),
};

const CatalogueEntry kUserSettings[] = {
    Str("User Settings\\CountryAbbrevType", "ISO2"),
    Int("User Settings\\SmallOneWayArrow", 1),
    Int("User Settings\\DrawOneWayDetail", 8),
    Int("User Settings\\SkipOneWayOnInterstate", 1),
    Str("User Settings\\DataRegion", "NA"),
    Int("User Settings\\OTADataRegion", 4),
    Int("User Settings\\ShowBuildInfo"),
    Int("User Settings\\ShowIDCreation", 1),
    Int("User Settings\\ArrowLength", 75),
    Int("User Settings\\LinkLabelMult", 14),
    Int("User Settings\\Display3DBuildings"),
    Int("User Settings\\Display3DLandmarks", 1),
    Int("User Settings\\DisplayScaleOfMiles", 1),
    Int("User Settings\\DisplayPOIs", 1),
    Int("User Settings\\DisplayPOIsInWalkMode", 1),
    Int("User Settings\\DisplayPOIsGroup", 2),
    Int("User Settings\\DisplayTurnRestrictions"),
    Int("User Settings\\MapDrawOneWays", 1),
    Str("User Settings\\MapImageFormat", "raw"),
    Int("User Settings\\MapDefault2DZoomRadiusx100", 15),
    Int("User Settings\\SpeedVarZoomLevel", 1),
    Int("User Settings\\DayNightMode", 2),
    Int("User Settings\\DisplayRouteArrow", 1),
    Int("User Settings\\DisplayRoadLabels", 1),
    Int("User Settings\\ShowAllLaneConnections"),
    Int("User Settings\\DisplayStopText"),
    Int("User Settings\\UseHWGraphicsAcceleration", 1),
    Int("User Settings\\UseSoftwareOpenGL", 1),
    Int("User Settings\\CreateFullGPSDemoFile"),
    Int("User Settings\\Scale", 1),
    Int("User Settings\\ShowRealityView", 1),
    Int("User Settings\\ShowLaneInstructionView"),
    Int("User Settings\\ClearTurnViewDistance", 7),
    Int("User Settings\\ClearTurnViewHideDistance", 2),
    Int("User Settings\\HeadsUpLaneAssistDistance", 10),
    Int("User Settings\\HeadsUpLaneAssistHideDistance", 1),
    Int("User Settings\\ClearTurnViewDistIndex", 3),
    Int("User Settings\\ClearTurnViewHideDistIndex", 1),
    Int("User Settings\\InfobarDisplayType", 1),
    Int("User Settings\\InfobarLeftSideIndex", 12),
    Int("User Settings\\InfobarRightSideIndex", 11),
    Int("User Settings\\DisplayBreadcrumbTrail"),
    Int("User Settings\\DisplayBreadcrumbHeading"),
    Int("User Settings\\CustomChevron"),
    Int("User Settings\\AllowNavDrag", 1),
    Int("User Settings\\UseFullTurnInstructions"),
    Int("User Settings\\EnableBackgroundNav", 1),
    Int("User Settings\\BackgroundNavTime", 5),
    Int("User Settings\\BackgroundNavWarning"),
    Int("User Settings\\UseMapUpdate", 1),
    Int("User Settings\\ShowLocalNotifications", 1),
    Int("User Settings\\ShowDodEvozIntro", 1),
    Int("User Settings\\DodEvozIssueType"),
    Int("User Settings\\HideStartscreen"),
    Int("User Settings\\UseSnakeWayPoints", 1),
    Int("User Settings\\StartupMsgIndex"),
    Str("User Settings\\StartscreenUsername", ""),
    Int("User Settings\\MinutesUntilStartscreen", 60),
    Int("User Settings\\DrawExtendedRoadStyles", 1),
    Int("User Settings\\SendGPSTracksOnStart", 1),
    Int("User Settings\\AppSleepNormal", -1),
    Int("User Settings\\AppSleepSpeak"),
    Int("User Settings\\MapSleepTTS", 15),
    Int("User Settings\\Backlight"),
    Int("User Settings\\PrevBacklight"),
    Int("User Settings\\ShowRegionWelcome", 1),
    Int("User Settings\\ShowWelcomeDlg", 1),
    Int("User Settings\\ShowSplash", 1),
    Int("User Settings\\SayWelcome", 1),
    Int("User Settings\\EditUI", 1),
    Int("User Settings\\CycleInfobar"),
    Int("User Settings\\ShowDespiteDist", 1),
    Int("User Settings\\ShowCompass"),
    Int("User Settings\\SDKTruckWarning"),
    Int("User Settings\\ShowCountryBorderWarning", 1),
    Int("User Settings\\ShowPopups", 1),
    Int("User Settings\\FavoritesTab", 1),
    Int("User Settings\\PhotoNavResultsPerPage", 252),
    Int("User Settings\\UTurnCost", -2),
    Int("User Settings\\FiftyThreeFootGapCheck"),
    Int("User Settings\\TurnInstructionAlertSecs", 2),
    Int("User Settings\\EnableTurnAlert"),
    Int("User Settings\\ShowBmwTurnAlert"),
    Int("User Settings\\200mWarningOnPrimary"),
    Int("User Settings\\Cutoff0Seconds", 8),
    Int("User Settings\\Cutoff0Dist", 100),
    Int("User Settings\\Cutoff0", 1),
    Int("User Settings\\Cutoff1"),
    Int("User Settings\\Cutoff2", 1),
    Int("User Settings\\Cutoff3", 1),
    Int("User Settings\\Cutoff4", 1),
    Int("User Settings\\Cutoff5"),
    Int("User Settings\\Cutoff6"),
    Int("User Settings\\Cutoff7"),
    Int("User Settings\\Cutoff8"),
    Int("User Settings\\Cutoff9"),
    Int("User Settings\\SnapToStreet"),
    Int("User Settings\\PromptReturnToOrigin", 1),
    Int("User Settings\\ForceHours", -1),
    Int("User Settings\\ForceDays", -1),
    Int("User Settings\\TODThresholdTime", 2),
    Int("User Settings\\TODThresholdSpeed", 50),
    Int("User Settings\\UseSpecialRestrictions", 1),
    Int("User Settings\\DisplaySDKAppAlert"),
    Int("User Settings\\DrawLaneNumbers"),
    Int("User Settings\\CustOptClusterLimit"),
    Int("User Settings\\CustOptTimeLimit"),
    Int("User Settings\\CustOptStatOpt"),
    Int("User Settings\\CustOptDisableTwins"),
    Int("User Settings\\EnableCustOptLogs"),
    Int("User Settings\\EnableCustOptMaps"),
    Int("User Settings\\MacroLooping"),
    Int("User Settings\\DisplayNextTurnDistance", 3),
    Int("User Settings\\DistanceBetweenInstructions", 3),
    Int("User Settings\\SecondsBetweenInstructions", 6),
    Int("User Settings\\Skyhook"),
    Int("User Settings\\IgnoreOCJurisdictions"),
    Int("User Settings\\CheckPowerLevel", 1),
    Int("User Settings\\EnableGPSTimeSync", 1),
    Int("User Settings\\ShowSecondTurn", 1),
    Int("User Settings\\DefaultMapView", 6),
    Int("User Settings\\Default2DMapView", 3),
    Int("User Settings\\DirectionNextTurn", 1),
    Int("User Settings\\DistUnits"),
    Int("User Settings\\FuelUnits"),
    Int("User Settings\\LoadedCost", 13600),
    Int("User Settings\\EmptyCost", 13600),
    Int("User Settings\\FuelCost", 27100),
    Int("User Settings\\MaintenenceCostLoaded", 1200),
    Int("User Settings\\MaintenenceCostEmpty", 1200),
    Int("User Settings\\CostTimeLoaded", 401100),
    Int("User Settings\\CostTimeEmpty", 401100),
    Int("User Settings\\GreenHouseGas", 222000),
    Int("User Settings\\MPGCostLoaded", 60000),
    Int("User Settings\\MPGCostEmpty", 60000),
    Int("User Settings\\2D3DToggle", 1),
    Int("User Settings\\SafetyItineraryToggle"),
    Int("User Settings\\FeedbackSoundEnabled"),
    Int("User Settings\\MapDblClickAction", 2),
    Int("User Settings\\PlaceGroup", 1),
    Int("User Settings\\SaveView", 1),
    Int("User Settings\\TipToShow", 1),
    Int("User Settings\\TripFirstRun", 1),
    Int("User Settings\\DrivoraOutOfBoxFirstRun", 1),
    Str("User Settings\\ActiveProfileName", "Default"),
    Int("User Settings\\Line1Mode"),
    Int("User Settings\\EraseTripOnExit"),
    Int("User Settings\\MessagePop"),
    Int("User Settings\\HighSpeedCutoff"),
    Int("User Settings\\DataConnectNotDisplayWarning", 1),
    Int("User Settings\\MaxTypeAhead", 50),
    Int("User Settings\\AutoStopDelete", 1),
    Int("User Settings\\AutoUpdateNextStop", 1),
    Int("User Settings\\PlaceNames"),
    Int("User Settings\\UseAirMilesLimit"),
    Int("User Settings\\NumberMilesDecimals", 1),
    Int("User Settings\\MaxWalkModeSpeed", 30),
    Int("User Settings\\ConfirmWalkModeRouting", 1),
    Int("User Settings\\LogCommIO"),
    Int("User Settings\\SkipConfirmProfile"),
    Int("User Settings\\EmailUpdates", 1),
    Int("User Settings\\ScreenResizeSleep", 50),
    Int("User Settings\\MsgEchoSize", 32768),
    Int("User Settings\\MsgEchoTTL", 10),
    Int("User Settings\\RoutesWaitForData"),
    Int("User Settings\\HourFormat"),
    Int("User Settings\\TimeZoneOption"),
    Int("User Settings\\TimeZoneSelected"),
    Int("User Settings\\ComboDepartSelected"),
    Int("User Settings\\EntryDate"),
};

const CatalogueEntry kVersion[] = {
    Str("Version\\Major", "8.0.0.0"),
};

const CatalogueEntry kOverride[] = {
    Str("Override\\MyOverride", "default.ovr"),
    Int("Override\\MyOverrideGridLevel"),
    Int("Override\\BufferWriteSizeKB", 8),
    Int("Override\\SkipValidate"),
    Int("Override\\ForceRead"),
};

const CatalogueEntry kActiveTraffic[] = {
    Int("ActiveTraffic\\ShowTrafficWelcome", 1),
};

const CatalogueEntry kPersonalConnect[] = {
    Int("PersonalConnect\\ShowPopup", 1),
};

const CatalogueEntry k3d[] = {
    Int("3d\\3Das2D", 3),
    Int("3d\\3DPerspective", 8),
    Int("3d\\3DConvergence", 4),
    Int("3d\\3DRoadWidthFactor", 45),
};

const CatalogueEntry kAlphaBlending[] = {
    Int("AlphaBlending\\Enable", 1),
    Int("AlphaBlending\\FallbackStrategy", 2),
};

const CatalogueEntry kFeatures[] = {
    Int("Features\\DataCollectSleepTime"),
    Int("Features\\AAMap", 1),
    Int("Features\\ActiveZooms", 5),
    Int("Features\\ActivePans", 3),
    Int("Features\\MinProjDiff", 500),
    Int("Features\\PanPercent", 50),
    Int("Features\\MapAllowThrow", 1),
    Int("Features\\MapAccel2d", -1000),
    Int("Features\\MapAccel3d", -1500),
    Int("Features\\MaxSameRouteShield", 2),
    Int("Features\\ToolTipAnimate"),
    Int("Features\\CheckForMultiCores"),
    Int("Features\\Polygon_MaxPoliticalDetail", 6),
    Int("Features\\Polygon_MinUrbanDetail", 2),
    Int("Features\\Polygon_MaxUrbanDetail", 7),
    Int("Features\\Polygon_UseStatePolysAsMask", 1),
    Int("Features\\EnableSnakeRouting", 1),
    Int("Features\\EnableAds", 1),
    Int("Features\\BannerAds"),
    Int("Features\\Coupons"),
    Int("Features\\LaneViewPerspective", 16),
};

const CatalogueEntry kDensityLevels[] = {
    Int("DensityLevels\\DrawGridLevelNetwork0", 6),
    Int("DensityLevels\\DrawGridLevelNetwork1", 4),
    Int("DensityLevels\\DrawGridLevelNetwork2", 2),
    Int("DensityLevels\\DrawGridLevelNetwork3", 1),
    Int("DensityLevels\\DrawGridLevelPolygon0_HiMem", 5),
    Int("DensityLevels\\DrawGridLevelPolygon1_HiMem", 3),
    Int("DensityLevels\\DrawGridLevelPolygon2_HiMem", 2),
    Int("DensityLevels\\DrawGridLevelPolygon0", 6),
    Int("DensityLevels\\DrawGridLevelPolygon1", 4),
    Int("DensityLevels\\DrawGridLevelPolygon2", 3),
    Int("DensityLevels\\DrawGridLevelPolygon3", 1),
};

const CatalogueEntry kGraphics[] = {
    Int("Graphics\\LogEllipses"),
    Int("Graphics\\FullScreen"),
    Int("Graphics\\ForceOrientation"),
    Int("Graphics\\SetOrientation"),
    Int("Graphics\\ScreenXPos"),
    Int("Graphics\\ScreenYPos"),
    Int("Graphics\\ForceScreenX", 240),
    Int("Graphics\\ForceScreenY", 320),
    Int("Graphics\\RotateDisplay", 1),
    Int("Graphics\\LockOrientation"),
    Int("Graphics\\BaseImageX"),
    Int("Graphics\\BaseImageY"),
    Int("Graphics\\ScreenZoom"),
    Int("Graphics\\FrameBuffAddr"),
    Int("Graphics\\FrameBuffDoQuery", 1),
    Int("Graphics\\ReverseRGB"),
    Str("Graphics\\BaseLayout", ""),
    Int("Graphics\\StretchWidgets", 1),
    Int("Graphics\\SplashColor"),
    Int("Graphics\\SplineEnabled", 1),
    Int("Graphics\\SplineFactor", 2),
    Int("Graphics\\SplineDegree", 3),
    Int("Graphics\\PageTransitions", 1),
    Int("Graphics\\InnerArrowPct", 75),
    Int("Graphics\\CustomDPI"),
    Int("Graphics\\TestDPI"),
    Int("Graphics\\CustomPixelResMultiplierx100", 184),
};

const CatalogueEntry kFrameableAreas[] = {
    Str("Frameable Areas\\CurrentZoomInRect", "Denver, CO"),
    Str("Frameable Areas\\CurrentArea", "NA"),
};

const CatalogueEntry kStartupLocation[] = {
    Str("StartupLocation\\EU", "London, GB"),
    Str("StartupLocation\\NA", "Denver, CO"),
    Str("StartupLocation\\OC", "Sydney, NS"),
    Str("StartupLocation\\ME", "Cairo, EG"),
    Str("StartupLocation\\SA", "Rio De Janeiro, BR"),
    Str("StartupLocation\\AF", "Cape Town, SA"),
    Str("StartupLocation\\SE", "Bangkok, TH"),
};

const CatalogueEntry kMouse[] = {
    Int("Mouse\\HoldRepeatMs", 200),
    Int("Mouse\\HoverMs", 500),
    Int("Mouse\\MinDragsToThrow", 2),
    Int("Mouse\\StillTicksAfterMove", 300),
    Int("Mouse\\StaleDragTicks", 1000),
    Int("Mouse\\MinTickDelta", 10),
    Int("Mouse\\MinMouseVelMag", 170),
    Int("Mouse\\MaxMouseVelMag", 1698),
    Int("Mouse\\MinMouseDrag", 17),
    Int("Mouse\\MinMultitouchMove", 34),
    Int("Mouse\\MaxMultitouchMove", 34),
    Int("Mouse\\MinMultitouchMoving", 8),
    Int("Mouse\\MouseMode", 12),
    Int("Mouse\\MouseHoverMode"),
    Int("Mouse\\Log"),
    Int("Mouse\\EnableMousePopups", 1),
    Int("Mouse\\UseStreets", 1),
    Int("Mouse\\LinkIDSet"),
    Int("Mouse\\CheckForRestrictedLink"),
};

const CatalogueEntry kStyles[] = {
    Str("Styles\\DayStyle", "international"),
    Str("Styles\\NightStyle", "autumn"),
    Str("Styles\\UIStyle", "16bit_styles_gui"),
    Str("Styles\\Theme", "16bit"),
};

const CatalogueEntry kZoomLevels[] = {
    Int("ZoomLevels\\Level01", 50000),
    Int("ZoomLevels\\Level02", 17000),
    Int("ZoomLevels\\Level03", 7000),
    Int("ZoomLevels\\Level04", 2290),
    Int("ZoomLevels\\Level05", 1030),
    Int("ZoomLevels\\Level06", 400),
    Int("ZoomLevels\\Level07", 150),
    Int("ZoomLevels\\Level08", 100),
    Int("ZoomLevels\\Level09", 50),
    Int("ZoomLevels\\Level10", 25),
    Int("ZoomLevels\\Level11", 12),
    Int("ZoomLevels\\Level12", 6),
};

const CatalogueEntry kEditorDrawOptions[] = {
    Int("Editor Draw Options\\DrawGridLevel", -1),
    Int("Editor Draw Options\\DrawGridGroup"),
    Int("Editor Draw Options\\DrawBlackDragPath", 1),
    Int("Editor Draw Options\\DrawLevel_Streets", -1),
    Int("Editor Draw Options\\DrawFlowMaps"),
};

const CatalogueEntry kEditorSettings[] = {
    Int("Editor Settings\\PickOffsetDistance_Links", 10),
    Int("Editor Settings\\PickOffsetDistance_Shapes"),
    Int("Editor Settings\\PickOffsetDistance_Nodes"),
    Int("Editor Settings\\PickOffsetDistance_MinPixDist", 5),
    Int("Editor Settings\\EditorMode"),
};

const CatalogueEntry kSocialSharing[] = {
    Int("SocialSharing\\ShowLocation", 1),
    Int("SocialSharing\\ShowDestination", 1),
    Int("SocialSharing\\AutoPostDestination"),
    Int("SocialSharing\\AutoPostArrival"),
};

const CatalogueEntry kHelpTips[] = {
    Int("HelpTips\\ShowHelpTips"),
    Int("HelpTips\\SecsToShow", 20),
};

const CatalogueEntry kTwitter[] = {
    Str("Twitter\\Username", ""),
    Str("Twitter\\oauth_token", ""),
    Str("Twitter\\oauth_token_secret", ""),
    Int("Twitter\\Geotagging"),
};

const CatalogueEntry kPOI[] = {
    Int("POI\\2dIconNumSizes", 3),
    Int("POI\\2dIconWidth1", 26),
    Int("POI\\2dIconWidth2", 20),
    Int("POI\\2dIconWidth3", 12),
    Int("POI\\2dIconHeight1", 26),
    Int("POI\\2dIconHeight2", 26),
    Int("POI\\2dIconHeight3", 26),
    Int("POI\\3dShadowHeight", 27),
    Int("POI\\3dIconNumSizes", 4),
    Int("POI\\3dIconWidth1", 40),
    Int("POI\\3dIconWidth2", 31),
    Int("POI\\3dIconWidth3", 24),
    Int("POI\\3dIconWidth4", 20),
    Int("POI\\3dIconHeight1", 56),
    Int("POI\\3dIconHeight2", 56),
    Int("POI\\3dIconHeight3", 56),
    Int("POI\\3dIconHeight4", 56),
    Int("POI\\3dShadowWidth1", 40),
    Int("POI\\3dShadowWidth2", 31),
    Int("POI\\3dShadowWidth3", 24),
    Int("POI\\3dShadowWidth4", 20),
    Int("POI\\3dShadowHeight1", 56),
    Int("POI\\3dShadowHeight2", 56),
    Int("POI\\3dShadowHeight3", 56),
    Int("POI\\3dShadowHeight4", 56),
    Int("POI\\3dPinWidth", 800),
    Int("POI\\CellFactor3D", 7),
    Int("POI\\CellFactor2D", 5),
    Int("POI\\AlertTimeout", 30),
    Int("POI\\DistIncrement", 10),
    Int("POI\\MaxDistance", 100),
    Int("POI\\MinDistance", 10),
    Int("POI\\MaxNumPOIsToImport", 2147483647),
    Int("POI\\MaxNumResultsToMap", 10),
    Int("POI\\StandardResultsLimit", 50),
    Str("POI\\KeyCategory_OverriddenRegions", "NA"),
    Int("POI\\KeyCategory_Count", 14),
    Int("POI\\KeyCategory_0", 22),
    Int("POI\\KeyCategory_1", 41),
    Int("POI\\KeyCategory_2", 25),
    Int("POI\\KeyCategory_3", 101),
    Int("POI\\KeyCategory_4", 5),
    Int("POI\\KeyCategory_5", 13),
    Int("POI\\KeyCategory_6", 40),
    Int("POI\\KeyCategory_7", 16),
    Int("POI\\KeyCategory_8", 18),
    Int("POI\\KeyCategory_9", 10),
    Int("POI\\KeyCategory_10", 142),
    Int("POI\\KeyCategory_11", 6),
    Int("POI\\KeyCategory_12", 42),
    Int("POI\\KeyCategory_13", 39),
    Int("POI\\KeyCategory_NA_Count", 14),
    Int("POI\\KeyCategory_NA_0", 22),
    Int("POI\\KeyCategory_NA_1", 41),
    Int("POI\\KeyCategory_NA_2", 25),
    Int("POI\\KeyCategory_NA_3", 101),
    Int("POI\\KeyCategory_NA_4", 38),
    Int("POI\\KeyCategory_NA_5", 9),
    Int("POI\\KeyCategory_NA_6", 40),
    Int("POI\\KeyCategory_NA_7", 16),
    Int("POI\\KeyCategory_NA_8", 18),
    Int("POI\\KeyCategory_NA_9", 10),
    Int("POI\\KeyCategory_NA_10", 142),
    Int("POI\\KeyCategory_NA_11", 6),
    Int("POI\\KeyCategory_NA_12", 42),
    Int("POI\\KeyCategory_NA_13", 39),
    Str("POI\\QuickStop_OverriddenRegions", ""),
    Int("POI\\QuickStop_Count", 3),
    Int("POI\\QuickStop_0", 41),
    Int("POI\\QuickStop_1", 25),
    Int("POI\\QuickStop_2", 22),
    Int("POI\\QuickStop_3", 49),
};

const CatalogueEntry kPOIApproach[] = {
    Int("POIApproach\\Enabled"),
    Int("POIApproach\\Lookaheadx100", 300),
    Int("POIApproach\\PathWidthLevel"),
};

const CatalogueEntry kApplication[] = {
    Str("Application\\Platform", "default"),
    Int("Application\\LargeScreen"),
    Int("Application\\ButtonStateQuit"),
    Int("Application\\ConsoleApplication"),
    Str("Application\\HomeScreen", "#default"),
    Str("Application\\HomeScreen2", "menu_main"),
    Int("Application\\MinimizedKeyboards"),
    Int("Application\\PlayWelcome", 1),
    Str("Application\\RootWidgetPane", "pane_main"),
    Str("Application\\TipsAndTricksPage", "tips_and_tricks"),
    Str("Application\\TrackWheelClockwise", "f;TrackWheelClockwise"),
    Str("Application\\TrackWheelCounterclockwise", "f;TrackWheelCounterclockwise"),
    Str("Application\\TrackWheelUp", "f;TrackWheelUp"),
    Str("Application\\TrackWheelDown", "f;TrackWheelDown"),
    Str("Application\\TrackWheelLeft", "f;TrackWheelLeft"),
    Str("Application\\TrackWheelRight", "f;TrackWheelRight"),
    Int("Application\\HomeScreenUseFirstRun", 1),
    Int("Application\\TruckRoutingFirstRun", 1),
    Int("Application\\LanguageWizardFirstRun", 1),
    Int("Application\\FirstRunCustomized"),
    Int("Application\\ContactAsTarget"),
    Int("Application\\RefreshConfigsOnFlip"),
    Int("Application\\TimeZoneSave", 1),
    Int("Application\\TimeZoneOverride", -1),
    Str("Application\\UIDiskExt", ".xml"),
    Str("Application\\UIPackExt", ".ui"),
    Str("Application\\SDKClientName", "Unknown"),
    Int("Application\\SDKShowNavDlg"),
    Int("Application\\MemRecordInterval"),
};

const CatalogueEntry kHardware[] = {
    Str("Hardware\\Keyboard", "none"),
    Int("Hardware\\SoftKeys"),
    Int("Hardware\\Touchscreen", 1),
    Int("Hardware\\UseDeviceSoftkeyboard"),
};

const CatalogueEntry kInfoBar1[] = {
    Str("InfoBar1\\Item0", "Destination"),
    Str("InfoBar1\\Item1", "CurrentRoad"),
    Str("InfoBar1\\Item2", "NearestTown"),
    Str("InfoBar1\\Item3", "ETA"),
    Str("InfoBar1\\Item4", "ETT"),
    Str("InfoBar1\\Item5", "SpeedAndDistance"),
    Str("InfoBar1\\Item6", ""),
    Str("InfoBar1\\Item7", ""),
    Str("InfoBar1\\Item8", ""),
    Str("InfoBar1\\Destination", "Destination"),
    Str("InfoBar1\\Current Road", "CurrentRoad"),
    Str("InfoBar1\\Nearest Crossroad", "NearestCrossroad"),
    Str("InfoBar1\\Nearest Town", "NearestTown"),
    Str("InfoBar1\\Next Major Road", "NearestMajorRoad"),
    Str("InfoBar1\\Estimated Time of Arrival", "ETAOnly"),
    Str("InfoBar1\\Distance Remaining", "DistanceOnly"),
    Str("InfoBar1\\Estimated Travel Time", "ETTOnly"),
    Str("InfoBar1\\Altitude", "AltitudeOnly"),
    Str("InfoBar1\\Scheduled Arrival Time", "STAOnly"),
    Str("InfoBar1\\Speed", "Speed"),
    Str("InfoBar1\\CurrentTime", "CurrentTime"),
    Str("InfoBar1\\Travel Time", "ETT"),
    Str("InfoBar1\\Heading", "Heading"),
    Str("InfoBar1\\Latitude/Longitude", "LatLon"),
};

const CatalogueEntry kInternal[] = {
    Int("Internal\\Hopper"),
    Int("Internal\\Features"),
    Int("Internal\\ShowDebugDataSets", 1),
    Int("Internal\\DisplayLiveDiagnostics"),
    Int("Internal\\DisplayGPSDiagnostics"),
    Int("Internal\\DisplayFlowTrafficDiagnostics"),
    Int("Internal\\DisplayFlowTrafficImageDiagnostics"),
    Int("Internal\\DisplayInternalSettings", 1),
    Int("Internal\\DisplayMouseUIDiagnostics"),
    Int("Internal\\MouseUIDiagnosticsCacheSize", 5),
    Str("Internal\\MultiLangScreenDump", "0"),
    Int("Internal\\DisplayMemoryDiagnostics"),
    Int("Internal\\DisplayDemoButtons"),
    Int("Internal\\UserInput_Record"),
    Str("Internal\\UserInput_Replay_Log", "user_input_replay.log"),
    Str("Internal\\UserInput_Replay_Bin", "user_input_replay.bin"),
    Int("Internal\\Device24BitColor"),
    Int("Internal\\SubSurfaceMap"),
    Int("Internal\\iPhoneHiRes"),
    Int("Internal\\InternalStartScreenMessages"),
    Int("Internal\\LogMarkerDiagnostic"),
    Int("Internal\\DeleteGPSTracksOnSend", 1),
};

const CatalogueEntry kScreenCapture[] = {
    Int("ScreenCapture\\EnableHotKey"),
    Int("ScreenCapture\\CaptureOnPageShow"),
    Int("ScreenCapture\\TimedCapture"),
};

const CatalogueEntry kLatLonInput[] = {
    Int("LatLonInput\\NorthSouth"),
    Int("LatLonInput\\EastWest"),
};

const CatalogueEntry kPlayDemoME[] = {
    Str("PlayDemoME\\StartAddress", "1 Sheikh Mohammed bin Rashid Boulevard"),
    Str("PlayDemoME\\StartCity", "Dubai"),
    Str("PlayDemoME\\StartState", "AE"),
    Str("PlayDemoME\\StopAddress", "Corniche Road West"),
    Str("PlayDemoME\\StopCity", "Abu Dhabi"),
    Str("PlayDemoME\\StopState", "AE"),
    Int("PlayDemoME\\StartLat"),
    Int("PlayDemoME\\StartLon"),
    Int("PlayDemoME\\StopLat"),
    Int("PlayDemoME\\StopLon"),
};

const CatalogueEntry kPlayDemoEU[] = {
    Str("PlayDemoEU\\StartAddress", "400 Oxford Street"),
    Str("PlayDemoEU\\StartCity", "London"),
    Str("PlayDemoEU\\StartState", "GB"),
    Int("PlayDemoEU\\StartLat", 51514441),
    Int("PlayDemoEU\\StartLon", -152340),
    Str("PlayDemoEU\\StopAddress", "20 Broad Street"),
    Str("PlayDemoEU\\StopCity", "Oxford"),
    Str("PlayDemoEU\\StopState", "GB"),
    Int("PlayDemoEU\\StopLat", 51754444),
    Int("PlayDemoEU\\StopLon", -1257563),
};

const CatalogueEntry kPlayDemoNA[] = {
    Str("PlayDemoNA\\StartAddress", "1437 Bannock Street"),
    Str("PlayDemoNA\\StartCity", "Denver"),
    Str("PlayDemoNA\\StartState", "CO"),
    Int("PlayDemoNA\\StartLat"),
    Int("PlayDemoNA\\StartLon"),
    Str("PlayDemoNA\\StopAddress", "1777 Broadway"),
    Str("PlayDemoNA\\StopCity", "Boulder"),
    Str("PlayDemoNA\\StopState", "CO"),
    Int("PlayDemoNA\\StopLat"),
    Int("PlayDemoNA\\StopLon"),
};

const CatalogueEntry kPlayDemoOC[] = {
    Str("PlayDemoOC\\StartAddress", "456 Kent Street"),
    Str("PlayDemoOC\\StartCity", "Sydney"),
    Str("PlayDemoOC\\StartState", "NS"),
    Str("PlayDemoOC\\StopAddress", "41 Burelli Street"),
    Str("PlayDemoOC\\StopCity", "Wollongong"),
    Str("PlayDemoOC\\StopState", "NS"),
    Int("PlayDemoOC\\StartLat"),
    Int("PlayDemoOC\\StartLon"),
    Int("PlayDemoOC\\StopLat"),
    Int("PlayDemoOC\\StopLon"),
};

const CatalogueEntry kPlayDemoSE[] = {
    Int("PlayDemoSE\\StartLat", 13756331),
    Int("PlayDemoSE\\StartLon", 100501765),
    Int("PlayDemoSE\\StopLat", 12927608),
    Int("PlayDemoSE\\StopLon", 100877083),
};

const CatalogueEntry kSafetycam[] = {
    Int("Safetycam\\PathWidthx100", 10),
    Int("Safetycam\\Enabled"),
    Int("Safetycam\\LookaheadLevel", 2),
};

const CatalogueEntry kSafetyView[] = {
    Int("SafetyView\\ShowMapNearTurn"),
    Int("SafetyView\\SafetyViewDist", 7),
};

const CatalogueEntry kTooltip[] = {
    Int("Tooltip\\OffsetX", -1),
    Int("Tooltip\\OffsetY", 6),
};

const CatalogueEntry kTruckWarnings[] = {
    Int("TruckWarnings\\Enabled"),
    Int("TruckWarnings\\LookaheadLevel", 2),
    Int("TruckWarnings\\TruckAlertsToSDKOnly"),
};

const CatalogueEntry kTruckLogging[] = {
    Int("TruckLogging\\Enabled", 1),
};

const CatalogueEntry kLogging[] = {
    Int("Logging\\Enabled"),
};

const CatalogueEntry kSpeedWarnings[] = {
    Int("Speed Warnings\\DisplaySpeedLimit", 3),
    Int("Speed Warnings\\SpeedWarningThreshold", 10),
    Int("Speed Warnings\\EnableWarningSound", 1),
    Int("Speed Warnings\\UseDefaultSpeedLimits"),
};

const CatalogueEntry kFuelCost[] = {
    Int("FuelCost\\ShowFuelCost"),
    Str("FuelCost\\FuelCostCurrency", "$"),
    Str("FuelCost\\FuelCostMPG", "25"),
    Str("FuelCost\\FuelCostPerUnit", "2.80"),
    Int("FuelCost\\MetricType"),
};

const CatalogueEntry kPlanning[] = {
    Str("Planning\\StartLocationTolerance", "2.0"),
};

const CatalogueEntry kLiveLink[] = {
    Int("LiveLink\\FriendViewMap", 1),
    Str("LiveLink\\SavedMessage0", "DEFAULT0"),
    Str("LiveLink\\SavedMessage1", "DEFAULT1"),
    Str("LiveLink\\SavedMessage2", "DEFAULT2"),
    Str("LiveLink\\SavedMessage3", "DEFAULT3"),
    Str("LiveLink\\SavedMessage4", ""),
    Str("LiveLink\\SavedMessage5", ""),
    Str("LiveLink\\SavedMessage6", ""),
    Str("LiveLink\\SavedMessage7", ""),
    Str("LiveLink\\SavedMessage8", ""),
    Str("LiveLink\\SavedMessage9", ""),
    Str("LiveLink\\SavedMessage10", ""),
    Str("LiveLink\\SavedMessage11", ""),
    Str("LiveLink\\SavedMessage12", ""),
    Str("LiveLink\\SavedMessage13", ""),
    Str("LiveLink\\SavedMessage14", ""),
    Str("LiveLink\\SavedMessage15", ""),
    Str("LiveLink\\SavedMessage16", ""),
    Str("LiveLink\\SavedMessage17", ""),
    Str("LiveLink\\SavedMessage18", ""),
    Str("LiveLink\\SavedMessage19", ""),
    Str("LiveLink\\SavedResponses0", "DEFAULT0"),
    Str("LiveLink\\SavedResponses1", "DEFAULT1"),
    Str("LiveLink\\SavedResponses2", "DEFAULT2"),
    Str("LiveLink\\SavedResponses3", "DEFAULT3"),
    Str("LiveLink\\SavedResponses4", ""),
    Str("LiveLink\\SavedResponses5", ""),
    Str("LiveLink\\SavedResponses6", ""),
    Str("LiveLink\\SavedResponses7", ""),
    Str("LiveLink\\SavedResponses8", ""),
    Str("LiveLink\\SavedResponses9", ""),
    Str("LiveLink\\SavedResponses10", ""),
    Str("LiveLink\\SavedResponses11", ""),
    Str("LiveLink\\SavedResponses12", ""),
    Str("LiveLink\\SavedResponses13", ""),
    Str("LiveLink\\SavedResponses14", ""),
    Str("LiveLink\\SavedResponses15", ""),
    Str("LiveLink\\SavedResponses16", ""),
    Str("LiveLink\\SavedResponses17", ""),
    Str("LiveLink\\SavedResponses18", ""),
    Str("LiveLink\\SavedResponses19", ""),
    Int("LiveLink\\AlwaysSendPositions", 1),
};

const CatalogueEntry kHelpAndFeedback[] = {
    Str("HelpAndFeedback\\WhatsNewURL", "https://www.navconfig.example/help/whats-new"),
    Str("HelpAndFeedback\\UserManual", "https://www.navconfig.example/help/manual"),
    Str("HelpAndFeedback\\FAQ", "https://www.navconfig.example/help/faq"),
    Str("HelpAndFeedback\\ContactSupport", "https://www.navconfig.example/help/support"),
    Str("HelpAndFeedback\\CommunityForum", "https://forum.navconfig.example/"),
    Str("HelpAndFeedback\\GettingStarted", "https://www.navconfig.example/help/getting-started"),
    Str("HelpAndFeedback\\AskUs", "https://www.navconfig.example/help/ask?lang=%lan"),
};

const CatalogueEntry kEmailLink[] = {
    Str("EmailLink\\GoogleMaps", "https://maps.navconfig.example/?q=%n&ll=%la,%lo"),
    Str("EmailLink\\InternetMaps", "https://maps.navconfig.example/place?name=%n&lat=%la&lon=%lo"),
    Str("EmailLink\\DrivoraLinkiPhone", "drivora://map?lon=%lo&d1=%d1&lat=%la&d2=%d2"),
    Str("EmailLink\\DrivoraLinkAndroid", "https://www.navconfig.example/link/map?lon=%lo&d1=%d1&lat=%la&d2=%d2"),
    Str("EmailLink\\MarketiPhone", "https://apps.navconfig.example/iphone"),
    Str("EmailLink\\MarketiPad", "https://apps.navconfig.example/ipad"),
    Str("EmailLink\\MarketAndroid", "https://apps.navconfig.example/android"),
    Str("EmailLink\\DrivoraHome", "https://www.navconfig.example/"),
};

const CatalogueEntry kNewsFeed[] = {
    Int("NewsFeed\\EnableNewsFeed"),
    Int("NewsFeed\\NewsRequestTimeoutMS", 60000),
    Int("NewsFeed\\Logging"),
};

const CatalogueEntry kGeocoding[] = {
    Int("Geocoding\\RelaxCityMatch", 2),
    Int("Geocoding\\RelaxCityMatchDistance", 7),
    Int("Geocoding\\UseRefinedZipLevelCalculation"),
    Int("Geocoding\\MidStringGeocoding", 1),
    Int("Geocoding\\MaxCleanupDistMult", 30),
    Int("Geocoding\\LookupLen", 3),
    Int("Geocoding\\UseActiveSort", 1),
    Int("Geocoding\\FindCitiesWithDigits"),
    Int("Geocoding\\SetShadowTigerGeoCode"),
    Int("Geocoding\\MaxCities", 30),
    Int("Geocoding\\CleanupBestChoiceOnly"),
    Int("Geocoding\\MaxStopList", 50),
    Int("Geocoding\\RelaxZipMatch", 3),
    Int("Geocoding\\UseCityLink", 1),
    Int("Geocoding\\UseFullStreetNames"),
    Int("Geocoding\\SanitizeCitiesBitMask", 12),
    Int("Geocoding\\SanitizeZipsBitMask", 14),
    Int("Geocoding\\SanitizeStreetsBitMask"),
    Int("Geocoding\\DumpGeocodeLog"),
    Int("Geocoding\\SDKFindCrossStreets"),
    Int("Geocoding\\SDKGeocodeRequest"),
};

const CatalogueEntry kGPS[] = {
    Int("GPS\\RouteWidthAdjScale", 30),
    Int("GPS\\RouteWidthAdjPixel", 4),
    Int("GPS\\ArrowheadWidthScale", 120),
    Int("GPS\\ArrowheadHeightScale", 200),
    Int("GPS\\ArrowWidthAdjScale"),
    Int("GPS\\ArrowWidthAdjPixel", 1),
    Int("GPS\\DistMarkerWidthAdjScale", 48),
    Int("GPS\\DistMarkerWidthAdjPixel", 1),
    Int("GPS\\GPSReceiver"),
    Int("GPS\\BackgroundCircle", 1),
    Int("GPS\\DrawStraightLine"),
    Int("GPS\\NumExtrapolationPts", 10),
    Int("GPS\\Trail", 10),
    Int("GPS\\TrailMinDistance", 100),
    Int("GPS\\UseExtrapolation", 1),
    Int("GPS\\ChevronBufferPct2d", 25),
    Int("GPS\\ChevronBufferPct2dWalk", 45),
    Int("GPS\\ChevronBufferPct3d", 30),
    Int("GPS\\ChevronBufferPct2d_ls"),
    Int("GPS\\ChevronBufferPct3d_ls"),
    Int("GPS\\ChevronBufferPct2dWalk_ls"),
    Int("GPS\\ChevronBufferPct2d_ws"),
    Int("GPS\\ChevronBufferPct3d_ws"),
    Int("GPS\\ChevronBufferPct2dWalk_ws"),
    Int("GPS\\ChevronBufferPct2d_xw"),
    Int("GPS\\ChevronBufferPct3d_xw"),
    Int("GPS\\ChevronBufferPct2dWalk_xw"),
    Int("GPS\\ChevronBufferPct2d_xt"),
    Int("GPS\\ChevronBufferPct3d_xt"),
    Int("GPS\\ChevronBufferPct2dWalk_xt"),
    Int("GPS\\ChevronBufferPct2d_hv"),
    Int("GPS\\ChevronBufferPct3d_hv"),
    Int("GPS\\ChevronBufferPct2dWalk_hv"),
    Int("GPS\\ChevronBufferPct2d_hl"),
    Int("GPS\\ChevronBufferPct3d_hl"),
    Int("GPS\\ChevronBufferPct2dWalk_hl"),
    Int("GPS\\UpdateFrequency", 500),
    Int("GPS\\Frequency", 3),
    Int("GPS\\MinSpeed", 5),
    Int("GPS\\Messages", 1033),
    Int("GPS\\SendGPSPosition"),
    Int("GPS\\SnapToLevel0", 1),
    Int("GPS\\NMEAEcho"),
    Int("GPS\\NMEAEchoPort"),
    Str("GPS\\NMEAEchoAddress", ""),
    Int("GPS\\AutoSearchOnFirstRun", 1),
    Int("GPS\\DeleteFinalDestination"),
    Int("GPS\\AdvTunnelModeCheckThreshold", 2147483647),
};

const CatalogueEntry kGPSInfo[] = {
    Int("GPSInfo\\PortNum", 4),
    Int("GPSInfo\\BaudRate", 115200),
    Int("GPSInfo\\LogGPSTracks", 1),
    Int("GPSInfo\\MapHeadingUp", 1),
    Str("GPSInfo\\PortName", ""),
    Int("GPSInfo\\Chip"),
    Int("GPSInfo\\GPSDeviceType"),
    Str("GPSInfo\\PlaybackDelay", ""),
    Int("GPSInfo\\BTSetPIN"),
    Str("GPSInfo\\BTPIN", ""),
};

const CatalogueEntry kAccess[] = {
    Int("Access\\Exit"),
    Int("Access\\GPSLog"),
    Int("Access\\InMotion", 1),
    Int("Access\\Live"),
    Int("Access\\Planning"),
    Int("Access\\Routing"),
};

const CatalogueEntry kReturnTrip[] = {
    Int("Return Trip\\Lat"),
    Int("Return Trip\\Lon"),
};

const CatalogueEntry kRouteWarning[] = {
    Int("Route Warning\\WalkingDistWarning", 100),
    Int("Route Warning\\BicycleDistWarning", 200),
};

const CatalogueEntry kTripManager[] = {
    Int("TripManager\\ReuseFormnet"),
};

const CatalogueEntry kClientInfo[] = {
    Str("ClientInfo\\DeviceType", "Pocket"),
    Str("ClientInfo\\LoginName", ""),
    Str("ClientInfo\\LoginPassword", ""),
    Str("ClientInfo\\LoginType", "ANON"),
    Str("ClientInfo\\ScreenName", "My Drivora"),
    Str("ClientInfo\\VehicleType", "Auto"),
    Int("ClientInfo\\Compression"),
    Int("ClientInfo\\ActAsClient", 1),
    Int("ClientInfo\\ActAsGateway"),
    Int("ClientInfo\\ActAsMonitor"),
    Int("ClientInfo\\ActAsStorage"),
    Int("ClientInfo\\ActAsTraffic"),
    Int("ClientInfo\\ActAsTravelTime"),
    Int("ClientInfo\\ActAsSimulator"),
    Int("ClientInfo\\ActAsMapUpdates"),
    Int("ClientInfo\\ActAsSDKClient"),
    Int("ClientInfo\\Logging"),
    Int("ClientInfo\\ConnLogFreq", -1),
    Int("ClientInfo\\WaitOnLiveServerStart"),
};

const CatalogueEntry kConnectionInfo0[] = {
    Int("ConnectionInfo0\\Enabled"),
    Str("ConnectionInfo0\\CommProtocol", "TCP"),
    Str("ConnectionInfo0\\ListenerIP", "live.navconfig.example"),
    Int("ConnectionInfo0\\ListenForSockets"),
    Int("ConnectionInfo0\\Port", 80),
    Int("ConnectionInfo0\\Port2", 9880),
    Str("ConnectionInfo0\\ConnectionType", "LIVE"),
    Int("ConnectionInfo0\\SwitchPortAtStartup"),
};

const CatalogueEntry kMessenger[] = {
    Int("Messenger\\EnabledServices", 4),
    Int("Messenger\\EnableTimout"),
    Int("Messenger\\MsgTimeout", 30),
    Int("Messenger\\PosFrequency", 60),
    Int("Messenger\\PositionLog", 1),
    Int("Messenger\\PositionLogRecsPerSend", 30),
    Int("Messenger\\PositionLogSecsPerRec", 30),
    Int("Messenger\\PositionLogAllowPlayback"),
    Int("Messenger\\SendETA", 1),
    Int("Messenger\\SendPosition", 1),
    Int("Messenger\\SendTravelTime", 1),
    Int("Messenger\\TTUpdateFrequency", 900),
    Int("Messenger\\TTUpdateThreshold"),
    Int("Messenger\\WriteActivity"),
};

const CatalogueEntry kSinceInception[] = {
    Str("Since Inception\\Date", ""),
    Int("Since Inception\\Received: Bytes"),
    Int("Since Inception\\Received: GBytes"),
    Int("Since Inception\\Received: Messages"),
    Int("Since Inception\\Received: GMessages"),
    Int("Since Inception\\Received: Avg Message Size"),
    Int("Since Inception\\Sent: Bytes"),
    Int("Since Inception\\Sent: GBytes"),
    Int("Since Inception\\Sent: Messages"),
    Int("Since Inception\\Sent: GMessages"),
    Int("Since Inception\\Sent: Avg Message Size"),
    Int("Since Inception\\Forward: Bytes"),
    Int("Since Inception\\Forward: GBytes"),
    Int("Since Inception\\Forward: Messages"),
    Int("Since Inception\\Forward: GMessages"),
    Int("Since Inception\\Forward: Avg Message Size"),
    Int("Since Inception\\Connections: Connection Requests"),
    Int("Since Inception\\Connections: Max Concurrent Connects"),
    Int("Since Inception\\Connections: TxBroken"),
    Int("Since Inception\\Connections: RxBroken"),
    Int("Since Inception\\Connections: RxFixed"),
};

const CatalogueEntry kThisSession[] = {
    Str("This Session\\Date", ""),
    Int("This Session\\Received: Bytes"),
    Int("This Session\\Received: GBytes"),
    Int("This Session\\Received: Messages"),
    Int("This Session\\Received: GMessages"),
    Int("This Session\\Received: Avg Message Size"),
    Int("This Session\\Sent: Bytes"),
    Int("This Session\\Sent: GBytes"),
    Int("This Session\\Sent: Messages"),
    Int("This Session\\Sent: GMessages"),
    Int("This Session\\Sent: Avg Message Size"),
    Int("This Session\\Forward: Bytes"),
    Int("This Session\\Forward: GBytes"),
    Int("This Session\\Forward: Messages"),
    Int("This Session\\Forward: GMessages"),
    Int("This Session\\Forward: Avg Message Size"),
    Int("This Session\\Connections: Current Count"),
    Int("This Session\\Connections: Connection Requests"),
    Int("This Session\\Connections: Max Concurrent Connects"),
    Int("This Session\\Connections: TxBroken"),
    Int("This Session\\Connections: RxBroken"),
    Int("This Session\\Connections: RxFixed"),
};

const CatalogueEntry kConnMgr[] = {
    Int("ConnMgr\\mSecsToClean", 15000),
    Int("ConnMgr\\mSecsToActivity", 120000),
    Int("ConnMgr\\mSecsToCheckSentMsgsQueue", 60000),
    Int("ConnMgr\\mSecsToListConnections", 3600000),
    Int("ConnMgr\\mSecsToCheckHandlers", 60000),
    Int("ConnMgr\\mSecsResendInterval", 300000),
    Int("ConnMgr\\mSecsDiscardInterval", 3600000),
};

const CatalogueEntry kLiveFilter[] = {
    Int("LiveFilter\\Msg0", -251655936),
    Int("LiveFilter\\Msg1", -251655935),
    Int("LiveFilter\\Msg2", -251655933),
    Int("LiveFilter\\Msg3", -251655932),
    Int("LiveFilter\\Msg4", -251655931),
    Int("LiveFilter\\Msg5", -251657727),
    Int("LiveFilter\\Msg6", -251657594),
    Int("LiveFilter\\Msg7", -251657591),
    Int("LiveFilter\\Msg8", -251657722),
    Int("LiveFilter\\Msg9", -251657596),
    Int("LiveFilter\\Msg10", -251657721),
    Int("LiveFilter\\Msg11", -251657597),
    Int("LiveFilter\\Msg12"),
};

const CatalogueEntry kTrafficFilter[] = {
    Int("TrafficFilter\\Msg0", -251656445),
    Int("TrafficFilter\\Msg1", -251656444),
    Int("TrafficFilter\\Msg2"),
};

const CatalogueEntry kLanguage[] = {
    Int("Language\\Language"),
    Int("Language\\UseSystem", 1),
    Int("Language\\UserSelected"),
    Int("Language\\LogMissingKeys"),
};

const CatalogueEntry kLanguageFamilies[] = {
    Int("LanguageFamilies\\ORO_US English", 1),
    Int("LanguageFamilies\\ORO_UK English", 1),
    Int("LanguageFamilies\\ORO_Australian", 1),
    Int("LanguageFamilies\\ORO_Transliterated", 1),
    Int("LanguageFamilies\\ORO_Pinyin", 1),
    Int("LanguageFamilies\\ORO_Spanish", 2),
    Int("LanguageFamilies\\ORO_Latin American Spanish", 2),
    Int("LanguageFamilies\\ORO_Simplified Chinese", 31),
    Int("LanguageFamilies\\ORO_Chinese", 31),
    Int("LanguageFamilies\\ORO_Cantonese", 31),
    Int("LanguageFamilies\\ORO_Portuguese", 10),
    Int("LanguageFamilies\\ORO_Brazilian Portuguese", 10),
    Int("LanguageFamilies\\ORO_Italian", 5),
    Int("LanguageFamilies\\ORO_Maltese", 5),
    Int("LanguageFamilies\\ORO_German", 3),
    Int("LanguageFamilies\\ORO_French", 4),
    Int("LanguageFamilies\\ORO_Dutch", 6),
    Int("LanguageFamilies\\ORO_Swedish", 7),
    Int("LanguageFamilies\\ORO_Czech", 8),
    Int("LanguageFamilies\\ORO_Danish", 9),
    Int("LanguageFamilies\\ORO_Norwegian", 11),
    Int("LanguageFamilies\\ORO_Finnish", 12),
    Int("LanguageFamilies\\ORO_Greek", 13),
    Int("LanguageFamilies\\ORO_Turkish", 14),
    Int("LanguageFamilies\\ORO_Polish", 15),
    Int("LanguageFamilies\\ORO_Russian", 16),
    Int("LanguageFamilies\\ORO_Arabic", 17),
    Int("LanguageFamilies\\ORO_Hungarian", 18),
    Int("LanguageFamilies\\ORO_Slovenian", 19),
    Int("LanguageFamilies\\ORO_Catalan", 20),
    Int("LanguageFamilies\\ORO_Bulgarian", 21),
    Int("LanguageFamilies\\ORO_Romanian", 22),
    Int("LanguageFamilies\\ORO_Croatian", 23),
    Int("LanguageFamilies\\ORO_Serbian", 24),
    Int("LanguageFamilies\\ORO_Slovak", 25),
    Int("LanguageFamilies\\TEST", 26),
    Int("LanguageFamilies\\ORO_Albanian", 27),
    Int("LanguageFamilies\\ORO_Basque", 28),
    Int("LanguageFamilies\\ORO_Belarusian", 29),
    Int("LanguageFamilies\\ORO_Bosnian", 30),
    Int("LanguageFamilies\\ORO_Estonian", 32),
    Int("LanguageFamilies\\ORO_Galician", 33),
    Int("LanguageFamilies\\ORO_Indonesian_Bahasa", 34),
    Int("LanguageFamilies\\ORO_Korean", 35),
    Int("LanguageFamilies\\ORO_Latvian", 36),
    Int("LanguageFamilies\\ORO_Lithuanian", 37),
    Int("LanguageFamilies\\ORO_Macedonian", 38),
    Int("LanguageFamilies\\ORO_Malay", 39),
    Int("LanguageFamilies\\ORO_Moldovan", 40),
    Int("LanguageFamilies\\ORO_Montenegrin", 41),
    Int("LanguageFamilies\\ORO_Thai", 42),
    Int("LanguageFamilies\\ORO_Ukrainian", 43),
    Int("LanguageFamilies\\ORO_Welsh", 44),
    Int("LanguageFamilies\\ORO_Taiwanese", 45),
    Int("LanguageFamilies\\ORO_Icelandic", 46),
};

const CatalogueEntry kMapMask[] = {
    Int("MapMask\\route_calc"),
    Int("MapMask\\browse_map"),
    Int("MapMask\\detour_preview"),
    Int("MapMask\\alternate_routes"),
};

const CatalogueEntry kSpeech[] = {
    Str("Speech\\VoiceName", ""),
    Int("Speech\\VoiceType", 3),
    Str("Speech\\WelcomeFile", ""),
    Int("Speech\\BufferSize", 10),
    Int("Speech\\RepeatEnabled", 1),
    Int("Speech\\VolumeMultiplier", 4),
    Int("Speech\\AlwaysUseWavs"),
    Int("Speech\\VerboseSpeech"),
    Int("Speech\\ttsHelp", 1),
    Int("Speech\\LoadAllTTS", 1),
    Int("Speech\\Echo", 1),
    Int("Speech\\VibrateInstructions"),
    Int("Speech\\Confidence", 100),
    Int("Speech\\Mute"),
    Int("Speech\\MusicPlayerVolume", 1),
    Int("Speech\\MusicPlayerRepeat", 1),
    Int("Speech\\MusicPlayerShuffle"),
};

const CatalogueEntry kConnectionInfo1[] = {
    Int("ConnectionInfo1\\Enabled"),
    Str("ConnectionInfo1\\CommProtocol", "TCP"),
    Str("ConnectionInfo1\\ListenerIP", "127.0.0.1"),
    Int("ConnectionInfo1\\ListenForSockets"),
    Int("ConnectionInfo1\\Port"),
    Int("ConnectionInfo1\\Port2", 9878),
    Str("ConnectionInfo1\\ConnectionType", "SDK"),
};

const CatalogueEntry kConnectionInfo2[] = {
    Int("ConnectionInfo2\\ListenForSockets", -1),
    Int("ConnectionInfo2\\Port"),
};

const CatalogueEntry kSDK[] = {
    Int("SDK\\PortNum"),
    Int("SDK\\GuidanceMapWidth", 320),
    Int("SDK\\GuidanceMapHeight", 240),
    Str("SDK\\ListenerIP", "0.0.0.0"),
    Int("SDK\\EnableSDKMessageLogging"),
    Int("SDK\\AutomaticAcceptDetour", 1),
};

const CatalogueEntry kSharedMem[] = {
    Str("SharedMem\\Name", "OroSharedMem"),
    Int("SharedMem\\BytesPerPixel", 2),
};

const CatalogueEntry kSharedMemoryMaps[] = {
    Int("SharedMemoryMaps\\MapID"),
};

const CatalogueEntry kDownload[] = {
    Str("Download\\SupportFileURL", "https://downloads.navconfig.example/support/support.xpds"),
    Str("Download\\en-us", "https://downloads.navconfig.example/help/en-us.zip"),
    Str("Download\\en-gb", "https://downloads.navconfig.example/help/en-gb.zip"),
    Str("Download\\de", "https://downloads.navconfig.example/help/de.zip"),
    Str("Download\\fr", "https://downloads.navconfig.example/help/fr.zip"),
    Str("Download\\es", "https://downloads.navconfig.example/help/es.zip"),
    Str("Download\\it", "https://downloads.navconfig.example/help/it.zip"),
    Str("Download\\DodEvozLink", "https://www.navconfig.example/map-updates"),
    Int("Download\\NoConnectionWaitMS", 20000),
    Int("Download\\MinReadErrorWaitMS", 500),
    Int("Download\\MaxReadErrorWaitMS", 60000),
    Int("Download\\MaxDownloadRetries", 20),
};

const CatalogueEntry kTMC[] = {
    Int("TMC\\EnableAltGpsPort", 1),
    Int("TMC\\Default"),
    Int("TMC\\Enabled"),
    Int("TMC\\TrafficIcon", 1),
    Int("TMC\\OpenTMCLog"),
    Int("TMC\\RDSAutoTune", 1),
    Int("TMC\\RDSFrequency", 8750),
    Int("TMC\\TMCBaudRate", 4800),
    Int("TMC\\TMCPortNum", 8),
    Int("TMC\\LogTMCRawData"),
    Int("TMC\\PrevEnabled"),
    Int("TMC\\TMCDeviceType"),
};

const CatalogueEntry kTraffic[] = {
    Int("Traffic\\TrafficSetup"),
    Int("Traffic\\AutoRoute", 2),
    Int("Traffic\\CheckTraffic", 2),
    Int("Traffic\\Frequency", 10),
    Int("Traffic\\SpeakTraffic", 2),
    Int("Traffic\\TrafficFrequency", 1800),
    Int("Traffic\\Lookahead", 60),
    Int("Traffic\\SearchRadius", 30),
    Int("Traffic\\PathWidthx100", 25),
    Int("Traffic\\UpdateInterval", 10),
    Int("Traffic\\RouteLookahead", 150),
    Int("Traffic\\MsgTimeoutSec", 90),
};

const CatalogueEntry kFlowTraffic[] = {
    Str("FlowTraffic\\SoapEndpointUrl", "https://services.navconfig.example/FlowTrafficService.svc"),
    Int("FlowTraffic\\FlowTrafficEnabled"),
    Str("FlowTraffic\\FlowOvrFile", "flow"),
    Int("FlowTraffic\\SignificantETTDeltaMins", 10),
    Int("FlowTraffic\\FlowOvrLifeMins", 5),
    Int("FlowTraffic\\MaxFlowRerequests", 5),
    Int("FlowTraffic\\FlowRouteLookaheadMiles", 60),
    Int("FlowTraffic\\FlowGridsPerRequest", 16),
    Int("FlowTraffic\\RequestMapTraffic", 1),
    Int("FlowTraffic\\FlowBarNormalizeTo", 50),
    Int("FlowTraffic\\SuppressFlowErrors", 1),
    Int("FlowTraffic\\EnableSnapshot"),
    Int("FlowTraffic\\SnapshotID", -1),
    Int("FlowTraffic\\UseOverlaySnapshot"),
    Int("FlowTraffic\\UseRouteSnapshot"),
    Int("FlowTraffic\\UseBoxSnapshot"),
    Int("FlowTraffic\\RouteRerequestSecs", 300),
    Int("FlowTraffic\\GriddedFlowCleanupSecs", 300),
};

const CatalogueEntry kTCP[] = {
    Str("TCP\\Ports", "80;9880;8080"),
};

const CatalogueEntry kGSOAP[] = {
    Int("gSOAP\\ConnectTimeout", 60),
    Int("gSOAP\\SendTimeout", 60),
    Int("gSOAP\\ReceiveTimeout", 60),
};

const CatalogueEntry kAuthSettings[] = {
    Str("AuthSettings\\SoapEndpointUrl", "https://services.navconfig.example/AuthService.svc"),
};

const CatalogueEntry kLocalSearchSettings[] = {
    Str("LocalSearchSettings\\SoapEndpointUrl", "https://services.navconfig.example/LocalSearchService.svc"),
    Int("LocalSearchSettings\\SearchRadius", 250),
    Int("LocalSearchSettings\\ResultsPerPage", 10),
    Str("LocalSearchSettings\\EquivalenceDistance", "1.0"),
};

const CatalogueEntry kGlobalSearch[] = {
    Int("GlobalSearch\\MaxNumResultsToMap", 10),
    Int("GlobalSearch\\MaxNumLocalSearchResults", 25),
    Int("GlobalSearch\\MaxNumBrowseMapSearchResults", 10),
};

const CatalogueEntry kWeatherSettings[] = {
    Str("WeatherSettings\\SoapEndpointUrl", "https://services.navconfig.example/WeatherService.svc"),
    Str("WeatherSettings\\EquivalenceDistance", "1.0"),
    Int("WeatherSettings\\TempUnits"),
};

const CatalogueEntry kFuelPricesSettings[] = {
    Str("FuelPricesSettings\\SoapEndpointUrl", "https://services.navconfig.example/FuelPricesService.svc"),
    Int("FuelPricesSettings\\SearchRadius", 100),
    Int("FuelPricesSettings\\SortOption", 1),
    Int("FuelPricesSettings\\PreferredGrade"),
    Str("FuelPricesSettings\\SupportedMarkets", "223;71;198;224;78;102;19;151;173"),
    Str("FuelPricesSettings\\MarketResultsPerPage", "10;10;10;10;10;10;10;10;10"),
};

const CatalogueEntry kFuelGradesAvail[] = {
    Str("FuelGradesAvail\\223", "0;1;5;6;7;8;4;11"),
    Str("FuelGradesAvail\\71", "0;9;10;8;11;12;4;13"),
    Str("FuelGradesAvail\\198", "0;9;10;4;13;14"),
    Str("FuelGradesAvail\\224", "0;1;2;3;4"),
    Str("FuelGradesAvail\\78", "0;15;16;17;4;13;12;8"),
    Str("FuelGradesAvail\\102", "0;1;3;13;20;21;8;22;10"),
    Str("FuelGradesAvail\\19", "0;1;5;3;8"),
    Str("FuelGradesAvail\\151", "0;1;5;8;3;18;19"),
    Str("FuelGradesAvail\\173", "0;9;10;4;8"),
};

const CatalogueEntry kAdvertsSettings[] = {
    Str("AdvertsSettings\\SoapEndpointUrl", "https://services.navconfig.example/AdvertsService.svc"),
    Int("AdvertsSettings\\MaxAds", 5),
    Int("AdvertsSettings\\MaxStoreFronts", 1),
    Int("AdvertsSettings\\MaxSavedAds", 10),
    Str("AdvertsSettings\\SavedAdsFile", "saved_ads.dat"),
    Str("AdvertsSettings\\IconSize", "Medium"),
    Str("AdvertsSettings\\MainImgSize", "Medium"),
    Str("AdvertsSettings\\CouponSize", "Large"),
    Str("AdvertsSettings\\BannerSize", "None"),
};

const CatalogueEntry kRoadsideAsst[] = {
    Str("RoadsideAsst\\DataFile", "roadside_asst.xml"),
};

const CatalogueEntry kLaneAssistDebug[] = {
    Int("LaneAssistDebug\\JunctionCount"),
    Int("LaneAssistDebug\\FabricateJunctions"),
    Int("LaneAssistDebug\\Junction0_LaneCount"),
    Int("LaneAssistDebug\\Junction1_LaneCount"),
    Int("LaneAssistDebug\\Junction2_LaneCount"),
    Int("LaneAssistDebug\\Arrows"),
    Int("LaneAssistDebug\\ForceLane", -1),
    Int("LaneAssistDebug\\ForceGrid", -1),
};

const CatalogueEntry kDataStreaming[] = {
    Int("DataStreaming\\StreamingRadius", 20),
};

const CatalogueEntry kPopupToolbarSettings[] = {
    Str("Popup Toolbar Settings\\Button1", ""),
    Str("Popup Toolbar Settings\\Button2", ""),
    Str("Popup Toolbar Settings\\Button3", ""),
    Str("Popup Toolbar Settings\\Button4", ""),
    Str("Popup Toolbar Settings\\Button5", ""),
    Str("Popup Toolbar Settings\\Button6", ""),
};

const CatalogueEntry kPopupStartMenu[] = {
    Str("Popup Start Menu\\Button1", "destination"),
    Str("Popup Start Menu\\Button2", "favorites"),
    Str("Popup Start Menu\\Button3", "settings"),
    Str("Popup Start Menu\\Button4", "mode"),
};

const CatalogueEntry kGPSSimulator[] = {
    Int("GPSSimulator\\Loop", 1),
    Int("GPSSimulator\\UseFakeTimestamps"),
    Int("GPSSimulator\\FakeTimestampTime", 2000),
    Int("GPSSimulator\\UseMaxDelay", 1),
    Int("GPSSimulator\\MaxDelay", 2000),
    Int("GPSSimulator\\SendEmptyMsgs", 1),
    Int("GPSSimulator\\EmptyMsgFrequency", 2000),
    Int("GPSSimulator\\GeocodeCurrentPosition"),
    Int("GPSSimulator\\BluetoothPort", 3),
    Str("GPSSimulator\\LoadedTrack", ""),
    Int("GPSSimulator\\SendGSAMsgs"),
    Int("GPSSimulator\\SendGSAMsgsFreq", 5),
    Int("GPSSimulator\\ChangeTimestamps"),
};

const CatalogueEntry kSimGps[] = {
    Int("SimGps\\DepotModel", 1),
    Int("SimGps\\VicinityMiles", 100),
    Int("SimGps\\DepartureHours", 1),
    Int("SimGps\\VehicleCount", 10),
    Int("SimGps\\PlaybackSpeed", 10),
    Int("SimGps\\PlaybackFrequency", 30),
    Int("SimGps\\PositionLogFrequency", 2),
    Int("SimGps\\PositionLogMinDist", 100),
    Int("SimGps\\PositionLogMaxDist", 1000),
    Int("SimGps\\PositionLogMinSizeKB", 32),
    Int("SimGps\\PositionLogMaxSizeKB", 1024),
    Int("SimGps\\TrafficRequestFrequency", 1),
    Str("SimGps\\TrafficCity0", ""),
    Str("SimGps\\TrafficCity1", ""),
    Str("SimGps\\TrafficCity2", ""),
    Str("SimGps\\TrafficCity3", ""),
    Int("SimGps\\EchoDataFreq"),
    Int("SimGps\\MapDataUpdates"),
};

const CatalogueEntry kListenerInfo[] = {
    Int("ListenerInfo\\RxHandlerCount", 2),
    Int("ListenerInfo\\TxHandlerCount", 2),
    Int("ListenerInfo\\MsgHandlerCount", 6),
    Int("ListenerInfo\\OpenHandlerCount"),
    Int("ListenerInfo\\PacketLevelForwarding"),
};

const CatalogueEntry kDesignSettings[] = {
    Int("Design Settings\\CfgFileOverrides"),
    Int("Design Settings\\ImgFileOverrides"),
    Int("Design Settings\\StyFileOverrides"),
    Int("Design Settings\\IgnoreVisibleFlag"),
    Int("Design Settings\\StatusBarHeight"),
};

const CatalogueEntry kConversionSettings[] = {
    Int("Conversion Settings\\OmitDefaultProperties", 1),
    Int("Conversion Settings\\FirstElementIsDefault"),
    Int("Conversion Settings\\ConsolidateDuplicates"),
};

const CatalogueEntry kRouteCoder[] = {
    Int("RouteCoder\\BuildData"),
};

const CatalogueEntry kDataUpdates[] = {
    Str("Data Updates\\ServerIP", ""),
    Int("Data Updates\\ServerPort"),
    Int("Data Updates\\TransferLimitDown", -1),
    Int("Data Updates\\TransferLimitUp", -1),
    Int("Data Updates\\UpdaterEnabled"),
    Int("Data Updates\\Logging"),
};

const CatalogueEntry kWikipedia[] = {
    Int("Wikipedia\\RequestTimeoutMS", 60000),
    Str("Wikipedia\\SearchURLBase",
        "https://services.navconfig.example/WikiService.svc/xml/GetArticlesBox?"
        "lat1=%.5lf&lon1=%.5lf&lat2=%.5lf&lon2=%.5lf&maxArticles=%d&lang=%s"),
    Int("Wikipedia\\MaxArticles", 50),
    Int("Wikipedia\\DefaultSearchRadiusMiles", 25),
    Int("Wikipedia\\ShowPlacesInWalkMode", 1),
};

}  // namespace

const CatalogueSection kCatalogueSections[] = {
    {"DistanceCache", kDistanceCache, std::size(kDistanceCache)},
    {"Image", kImage, std::size(kImage)},
    {"LinkCacheFlatten", kLinkCacheFlatten, std::size(kLinkCacheFlatten)},
    {"Polygon", kPolygon, std::size(kPolygon)},
    {"PolygonFilesToBeCopied", kPolygonFilesToBeCopied, std::size(kPolygonFilesToBeCopied)},
    {"Cache", kCache, std::size(kCache)},
    {"Data", kData, std::size(kData)},
    {"AddOns", kAddOns, std::size(kAddOns)},
    {"Directories", kDirectories, std::size(kDirectories)},
    {"Overrides", kOverrides, std::size(kOverrides)},
    {"File Policies", kFilePolicies, std::size(kFilePolicies)},
    {"InstalledRegions", kInstalledRegions, std::size(kInstalledRegions)},
    {"RelativeDirectories", kRelativeDirectories, std::size(kRelativeDirectories)},
    {"User Settings", kUserSettings, std::size(kUserSettings)},
    {"Version", kVersion, std::size(kVersion)},
    {"Override", kOverride, std::size(kOverride)},
    {"ActiveTraffic", kActiveTraffic, std::size(kActiveTraffic)},
    {"PersonalConnect", kPersonalConnect, std::size(kPersonalConnect)},
    {"3d", k3d, std::size(k3d)},
    {"AlphaBlending", kAlphaBlending, std::size(kAlphaBlending)},
    {"Features", kFeatures, std::size(kFeatures)},
    {"DensityLevels", kDensityLevels, std::size(kDensityLevels)},
    {"Graphics", kGraphics, std::size(kGraphics)},
    {"Frameable Areas", kFrameableAreas, std::size(kFrameableAreas)},
    {"StartupLocation", kStartupLocation, std::size(kStartupLocation)},
    {"Mouse", kMouse, std::size(kMouse)},
    {"Styles", kStyles, std::size(kStyles)},
    {"ZoomLevels", kZoomLevels, std::size(kZoomLevels)},
    {"Editor Draw Options", kEditorDrawOptions, std::size(kEditorDrawOptions)},
    {"Editor Settings", kEditorSettings, std::size(kEditorSettings)},
    {"SocialSharing", kSocialSharing, std::size(kSocialSharing)},
    {"HelpTips", kHelpTips, std::size(kHelpTips)},
    {"Twitter", kTwitter, std::size(kTwitter)},
    {"POI", kPOI, std::size(kPOI)},
    {"POIApproach", kPOIApproach, std::size(kPOIApproach)},
    {"Application", kApplication, std::size(kApplication)},
    {"Hardware", kHardware, std::size(kHardware)},
    {"InfoBar1", kInfoBar1, std::size(kInfoBar1)},
    {"Internal", kInternal, std::size(kInternal)},
    {"ScreenCapture", kScreenCapture, std::size(kScreenCapture)},
    {"LatLonInput", kLatLonInput, std::size(kLatLonInput)},
    {"PlayDemoME", kPlayDemoME, std::size(kPlayDemoME)},
    {"PlayDemoEU", kPlayDemoEU, std::size(kPlayDemoEU)},
    {"PlayDemoNA", kPlayDemoNA, std::size(kPlayDemoNA)},
    {"PlayDemoOC", kPlayDemoOC, std::size(kPlayDemoOC)},
    {"PlayDemoSE", kPlayDemoSE, std::size(kPlayDemoSE)},
    {"Safetycam", kSafetycam, std::size(kSafetycam)},
    {"SafetyView", kSafetyView, std::size(kSafetyView)},
    {"Tooltip", kTooltip, std::size(kTooltip)},
    {"TruckWarnings", kTruckWarnings, std::size(kTruckWarnings)},
    {"TruckLogging", kTruckLogging, std::size(kTruckLogging)},
    {"Logging", kLogging, std::size(kLogging)},
    {"Speed Warnings", kSpeedWarnings, std::size(kSpeedWarnings)},
    {"FuelCost", kFuelCost, std::size(kFuelCost)},
    {"Planning", kPlanning, std::size(kPlanning)},
    {"LiveLink", kLiveLink, std::size(kLiveLink)},
    {"HelpAndFeedback", kHelpAndFeedback, std::size(kHelpAndFeedback)},
    {"EmailLink", kEmailLink, std::size(kEmailLink)},
    {"NewsFeed", kNewsFeed, std::size(kNewsFeed)},
    {"Geocoding", kGeocoding, std::size(kGeocoding)},
    {"GPS", kGPS, std::size(kGPS)},
    {"GPSInfo", kGPSInfo, std::size(kGPSInfo)},
    {"Access", kAccess, std::size(kAccess)},
    {"Return Trip", kReturnTrip, std::size(kReturnTrip)},
    {"Route Warning", kRouteWarning, std::size(kRouteWarning)},
    {"TripManager", kTripManager, std::size(kTripManager)},
    {"ClientInfo", kClientInfo, std::size(kClientInfo)},
    {"ConnectionInfo0", kConnectionInfo0, std::size(kConnectionInfo0)},
    {"Messenger", kMessenger, std::size(kMessenger)},
    {"Since Inception", kSinceInception, std::size(kSinceInception)},
    {"This Session", kThisSession, std::size(kThisSession)},
    {"ConnMgr", kConnMgr, std::size(kConnMgr)},
    {"LiveFilter", kLiveFilter, std::size(kLiveFilter)},
    {"TrafficFilter", kTrafficFilter, std::size(kTrafficFilter)},
    {"Language", kLanguage, std::size(kLanguage)},
    {"LanguageFamilies", kLanguageFamilies, std::size(kLanguageFamilies)},
    {"MapMask", kMapMask, std::size(kMapMask)},
    {"Speech", kSpeech, std::size(kSpeech)},
    {"ConnectionInfo1", kConnectionInfo1, std::size(kConnectionInfo1)},
    {"ConnectionInfo2", kConnectionInfo2, std::size(kConnectionInfo2)},
    {"SDK", kSDK, std::size(kSDK)},
    {"SharedMem", kSharedMem, std::size(kSharedMem)},
    {"SharedMemoryMaps", kSharedMemoryMaps, std::size(kSharedMemoryMaps)},
    {"Download", kDownload, std::size(kDownload)},
    {"TMC", kTMC, std::size(kTMC)},
    {"Traffic", kTraffic, std::size(kTraffic)},
    {"FlowTraffic", kFlowTraffic, std::size(kFlowTraffic)},
    {"TCP", kTCP, std::size(kTCP)},
    {"gSOAP", kGSOAP, std::size(kGSOAP)},
    {"AuthSettings", kAuthSettings, std::size(kAuthSettings)},
    {"LocalSearchSettings", kLocalSearchSettings, std::size(kLocalSearchSettings)},
    {"GlobalSearch", kGlobalSearch, std::size(kGlobalSearch)},
    {"WeatherSettings", kWeatherSettings, std::size(kWeatherSettings)},
    {"FuelPricesSettings", kFuelPricesSettings, std::size(kFuelPricesSettings)},
    {"FuelGradesAvail", kFuelGradesAvail, std::size(kFuelGradesAvail)},
    {"AdvertsSettings", kAdvertsSettings, std::size(kAdvertsSettings)},
    {"RoadsideAsst", kRoadsideAsst, std::size(kRoadsideAsst)},
    {"LaneAssistDebug", kLaneAssistDebug, std::size(kLaneAssistDebug)},
    {"DataStreaming", kDataStreaming, std::size(kDataStreaming)},
    {"Popup Toolbar Settings", kPopupToolbarSettings, std::size(kPopupToolbarSettings)},
    {"Popup Start Menu", kPopupStartMenu, std::size(kPopupStartMenu)},
    {"GPSSimulator", kGPSSimulator, std::size(kGPSSimulator)},
    {"SimGps", kSimGps, std::size(kSimGps)},
    {"ListenerInfo", kListenerInfo, std::size(kListenerInfo)},
    {"Design Settings", kDesignSettings, std::size(kDesignSettings)},
    {"Conversion Settings", kConversionSettings, std::size(kConversionSettings)},
    {"RouteCoder", kRouteCoder, std::size(kRouteCoder)},
    {"Data Updates", kDataUpdates, std::size(kDataUpdates)},
    {"Wikipedia", kWikipedia, std::size(kWikipedia)},
};
const size_t kCatalogueSectionCount = std::size(kCatalogueSections);

// Registered after the main table and consulted before it.
const CatalogueEntry kPriorityCatalogue[] = {
    Int("ZoomLevels\\Level01", 50000),
    Int("ZoomLevels\\Level02", 17000),
    Int("ZoomLevels\\Level03", 7000),
    Int("ZoomLevels\\Level04", 2290),
    Int("ZoomLevels\\Level05", 1030),
    Int("ZoomLevels\\Level06", 400),
    Int("ZoomLevels\\Level07", 150),
    Int("ZoomLevels\\Level08", 100),
    Int("ZoomLevels\\Level09", 50),
    Int("ZoomLevels\\Level10", 25),
    Int("ZoomLevels\\Level11", 12),
    Int("ZoomLevels\\Level12", 6),
    Int("DensityLevels\\DrawGridLevelNetwork0", 6),
    Int("DensityLevels\\DrawGridLevelNetwork1", 3),
    Int("DensityLevels\\DrawGridLevelNetwork2", 2),
    Int("DensityLevels\\DrawGridLevelNetwork3", 1),
    Int("Features\\AAMap"),
};
const size_t kPriorityCatalogueCount = std::size(kPriorityCatalogue);

}  // namespace navconfig
