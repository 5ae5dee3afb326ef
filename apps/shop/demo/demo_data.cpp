#include "shop/demo/demo_data.h"

#include "db/runner.h"
#include "shop/store/database_file.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <set>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "db/catalogue.h"
#include "db/default_config.h"
#include "db/runner.h"
#include "db/sql.h"
#include "framework/vin.h"
#include "platform/shop_info.h"
#include "platform/sqlite_database.h"
#include "shop/demo/bulk_rows.h"
#include "shop/demo/demo_chain.h"
#include "shop/demo/demo_floor.h"
#include "shop/demo/demo_random.h"
#include "shop/store/id_counters.h"

namespace ws::shop {

namespace {

constexpr int64_t kRepairOrderProgram = 200001;
constexpr int kDaysOfOrders = 365;

int64_t DayNumber(const db::Date& d) {
  return DemoDayNumber(d);
}

db::Date DateOfDay(int64_t z) {
  return DemoDateOfDay(z);
}

// 0 = Sunday.
int Weekday(int64_t day) {
  return static_cast<int>(((day % 7) + 11) % 7);
}

// --- What a shop holds. Prices are in fen (cents) so that sums stay exact.

struct Category {
  const char* code;
  const char* name;
  const char* description;
  int weight;  // share of the orders
  const char* department;
};

const std::vector<Category>& Categories() {
  static const std::vector<Category> categories = {
      {"01", "常规保养", "机油、滤清器等定期保养项目", 35, "维修车间"},
      {"02", "发动机维修", "发动机及其附件的故障维修", 8, "维修车间"},
      {"03", "底盘维修", "悬挂、转向、制动系统维修", 15, "维修车间"},
      {"04", "电器维修", "电路、灯光、空调等电器维修", 10, "维修车间"},
      {"05", "钣金喷漆", "事故车钣金修复及喷漆", 12, "钣喷车间"},
      {"06", "轮胎服务", "轮胎更换、动平衡、四轮定位", 10, "维修车间"},
      {"07", "美容装潢", "洗车、打蜡、内饰清洗", 6, "前台接待"},
      {"08", "检测年审", "车辆安全检测及年审代办", 4, "维修车间"},
  };
  return categories;
}

struct ItemTemplate {
  int category;
  const char* name;
  const char* attribute;
  int yuan;
  int serviceMonths = 0;  // the reminders' intervals, 0 for none
  int serviceKm = 0;
};

const std::vector<ItemTemplate>& ItemTemplates() {
  static const std::vector<ItemTemplate> items = {
      {0, "更换机油机滤", "保养", 80, 6, 5000},
      {0, "更换空气滤清器", "保养", 30, 12, 20000},
      {0, "更换空调滤清器", "保养", 30},
      {0, "更换汽油滤清器", "保养", 60},
      {0, "更换火花塞", "保养", 120, 0, 30000},
      {0, "更换刹车油", "保养", 100, 24, 40000},
      {0, "更换变速箱油", "保养", 200},
      {0, "更换防冻液", "保养", 80},
      {0, "节气门清洗", "保养", 150},
      {1, "发动机故障诊断", "机修", 100},
      {1, "更换正时皮带", "机修", 600},
      {1, "更换发动机支脚", "机修", 300},
      {1, "更换气门室盖垫", "机修", 280},
      {1, "更换水泵", "机修", 350},
      {1, "更换发电机", "机修", 250},
      {1, "喷油嘴清洗", "机修", 260},
      {1, "发动机大修", "机修", 3800},
      {2, "更换前刹车片", "机修", 120},
      {2, "更换后刹车片", "机修", 120},
      {2, "更换刹车盘", "机修", 200},
      {2, "更换减震器", "机修", 300},
      {2, "更换下摆臂球头", "机修", 150},
      {2, "更换离合器片", "机修", 800},
      {2, "更换半轴", "机修", 350},
      {3, "更换蓄电池", "电工", 50},
      {3, "空调加氟", "电工", 150},
      {3, "空调系统检修", "电工", 200},
      {3, "更换大灯灯泡", "电工", 40},
      {3, "更换起动机", "电工", 250},
      {3, "电路故障检修", "电工", 300},
      {3, "更换雨刮片", "电工", 20},
      {4, "前保险杠喷漆", "喷漆", 500},
      {4, "后保险杠喷漆", "喷漆", 500},
      {4, "车门钣金", "钣金", 400},
      {4, "翼子板钣金喷漆", "钣金", 700},
      {4, "机盖喷漆", "喷漆", 800},
      {4, "全车喷漆", "喷漆", 6000},
      {4, "更换前挡风玻璃", "钣金", 300},
      {5, "更换轮胎", "轮胎", 30},
      {5, "四轮定位", "轮胎", 180},
      {5, "动平衡", "轮胎", 60},
      {5, "补胎", "轮胎", 30},
      {5, "轮胎换位", "轮胎", 50},
      {6, "精致洗车", "美容", 40},
      {6, "打蜡", "美容", 150},
      {6, "内饰清洗", "美容", 300},
      {6, "发动机舱清洗", "美容", 120},
      {6, "空调杀菌除味", "美容", 180},
      {7, "年审代办", "检测", 300},
      {7, "尾气检测", "检测", 100},
      {7, "全车安全检测", "检测", 150},
  };
  return items;
}

enum Depot { kMainDepot, kOilDepot, kTyreDepot };

struct PartTemplate {
  int category;
  const char* name;
  const char* unit;
  int yuan;
  int minQuantity;
  int maxQuantity;
  Depot depot;
  std::vector<const char*> variants;  // 规格 of each variant
};

const std::vector<PartTemplate>& PartTemplates() {
  static const std::vector<PartTemplate> parts = {
      {0,
       "机油",
       "升",
       90,
       4,
       5,
       kOilDepot,
       {"美孚1号 5W-30 SN", "壳牌超凡喜力 5W-40", "嘉实多极护 0W-20", "长城金吉星 10W-40"}},
      {0, "机油滤清器", "个", 35, 1, 1, kMainDepot, {"曼牌 W712/75", "马勒 OC1196", "博世 AF0051"}},
      {0, "空气滤清器", "个", 55, 1, 1, kMainDepot, {"曼牌 C27114", "马勒 LX3533"}},
      {0, "空调滤清器", "个", 65, 1, 1, kMainDepot, {"曼牌 CUK2939", "博世 活性炭型"}},
      {0, "汽油滤清器", "个", 75, 1, 1, kMainDepot, {"曼牌 WK69/2"}},
      {0, "火花塞", "个", 85, 4, 4, kMainDepot, {"NGK 铱金 ILKAR7B11", "博世 双铂金 FR7KPP33U+"}},
      {0, "刹车油", "瓶", 68, 1, 1, kOilDepot, {"博世 DOT4 1L"}},
      {0, "防冻液", "桶", 85, 1, 1, kOilDepot, {"长城 -35℃ 4kg"}},
      {0, "变速箱油", "升", 90, 4, 6, kOilDepot, {"美孚 ATF 320"}},
      {1, "正时皮带套件", "套", 680, 1, 1, kMainDepot, {"盖茨 K015569XS", "大陆 CT1139K1"}},
      {1, "水泵", "个", 620, 1, 1, kMainDepot, {"原厂 06H121026"}},
      {1, "发电机", "台", 1500, 1, 1, kMainDepot, {"博世 14V 140A"}},
      {1, "发动机支脚", "个", 320, 1, 2, kMainDepot, {"原厂 1K0199262"}},
      {1, "气门室盖垫", "个", 180, 1, 1, kMainDepot, {"原厂 06H103483"}},
      {2, "前刹车片", "套", 320, 1, 1, kMainDepot, {"博世 0986AB1234", "菲罗多 FDB4050"}},
      {2, "后刹车片", "套", 260, 1, 1, kMainDepot, {"博世 0986AB2235", "菲罗多 FDB4051"}},
      {2, "刹车盘", "个", 380, 2, 2, kMainDepot, {"博世 前 288mm", "博世 后 272mm"}},
      {2, "减震器", "支", 550, 2, 2, kMainDepot, {"KYB 前 339081", "蒙诺 前 G16736"}},
      {2, "下摆臂球头", "个", 160, 1, 2, kMainDepot, {"TRW JBJ765"}},
      {2, "离合器三件套", "套", 1200, 1, 1, kMainDepot, {"LUK 620309900"}},
      {2, "半轴", "根", 900, 1, 1, kMainDepot, {"原厂 左前", "原厂 右前"}},
      {3, "蓄电池", "个", 560, 1, 1, kMainDepot, {"风帆 6-QW-60", "瓦尔塔 L2-400"}},
      {3, "冷媒", "瓶", 60, 1, 2, kOilDepot, {"R134a 500g"}},
      {3, "大灯灯泡", "个", 55, 1, 2, kMainDepot, {"欧司朗 H7 12V55W", "飞利浦 H4 12V60/55W"}},
      {3, "起动机", "台", 1300, 1, 1, kMainDepot, {"博世 12V 1.4kW"}},
      {3, "雨刮片", "对", 120, 1, 1, kMainDepot, {"博世 风翼 24/19", "米其林 26/16"}},
      {3, "保险丝", "个", 3, 2, 5, kMainDepot, {"10A 插片式", "15A 插片式"}},
      {4, "前保险杠", "个", 850, 1, 1, kMainDepot, {"原厂 未喷漆"}},
      {4, "原子灰", "千克", 60, 1, 2, kMainDepot, {"3M 05803"}},
      {4, "面漆", "升", 380, 1, 2, kOilDepot, {"PPG 标准色", "杜邦 金属漆"}},
      {4, "清漆", "升", 260, 1, 1, kOilDepot, {"杜邦 清漆"}},
      {4, "前挡风玻璃", "块", 1100, 1, 1, kMainDepot, {"福耀 带雨量传感器", "福耀 普通型"}},
      {5,
       "轮胎",
       "条",
       620,
       1,
       4,
       kTyreDepot,
       {"米其林 205/55R16", "普利司通 215/55R17", "固特异 225/45R18", "玛吉斯 195/65R15"}},
      {5, "气门嘴", "个", 8, 1, 4, kTyreDepot, {"TR414"}},
      {5, "平衡块", "克", 1, 20, 60, kTyreDepot, {"粘贴式 5g"}},
      {6, "车蜡", "瓶", 120, 1, 1, kOilDepot, {"龟牌 硬壳蜡"}},
      {6, "内饰清洗剂", "瓶", 45, 1, 1, kOilDepot, {"3M 多功能"}},
      {6, "空调清洗剂", "瓶", 58, 1, 1, kOilDepot, {"固特威 泡沫型"}},
  };
  return parts;
}

struct Model {
  const char* maker;
  const char* name;
  const char* type;
  const char* enginePrefix;
  const char* wmi;  // world manufacturer code that starts the chassis number
  bool commercial;
};

const std::vector<Model>& Models() {
  static const std::vector<Model> models = {
      {"一汽-大众", "速腾", "速腾 1.4T 自动舒适型", "CSS", "LFV", false},
      {"一汽-大众", "迈腾", "迈腾 2.0T 豪华型", "DKV", "LFV", false},
      {"上汽大众", "朗逸", "朗逸 1.5L 自动风尚版", "DMB", "LSV", false},
      {"上汽大众", "帕萨特", "帕萨特 330TSI 精英版", "DPL", "LSV", true},
      {"广汽丰田", "凯美瑞", "凯美瑞 2.5L 豪华版", "A25A", "LVG", false},
      {"一汽丰田", "卡罗拉", "卡罗拉 1.2T 先锋版", "9NR", "LFM", false},
      {"东风本田", "思域", "思域 1.5T 劲动版", "L15B", "LVH", false},
      {"广汽本田", "雅阁", "雅阁 260TURBO 精英版", "L15C", "LHG", false},
      {"东风日产", "轩逸", "轩逸 1.6L CVT 舒适版", "HR16", "LGB", false},
      {"上汽通用别克", "英朗", "英朗 15N 自动精英型", "L2B", "LSG", false},
      {"上汽通用别克", "GL8", "GL8 2.0T 陆尊 豪华型", "LTG", "LSG", true},
      {"北京现代", "伊兰特", "伊兰特 1.5L CVT 精英版", "G4FL", "LBE", false},
      {"长安汽车", "CS75", "CS75 PLUS 1.5T 豪华型", "JL476", "LS5", false},
      {"吉利汽车", "帝豪", "帝豪 1.5L CVT 豪华型", "JLC4G15", "L6T", false},
      {"长城汽车", "哈弗H6", "哈弗H6 1.5T 两驱都市版", "GW4B15", "LGW", false},
      {"比亚迪", "秦PLUS", "秦PLUS DM-i 55km 尊贵型", "BYD472QA", "LGX", false},
      {"华晨宝马", "3系", "宝马325Li M运动套装", "B48", "LBV", false},
      {"北京奔驰", "C级", "奔驰C260L 运动版", "M264", "LE4", false},
      {"一汽奥迪", "A4L", "奥迪A4L 40TFSI 时尚动感型", "DTA", "LFV", false},
      {"江铃汽车", "全顺", "全顺 2.2T 柴油 短轴中顶", "JX4D22", "LJX", true},
      {"上汽通用五菱", "五菱宏光", "五菱宏光S 1.5L 舒适型", "L2B", "LZW", true},
      {"华晨金杯", "海狮", "金杯海狮 2.0L 商务型", "4G20", "LSY", true},
  };
  return models;
}

const std::vector<std::string> kSurnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱", "胡",
    "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹",
    "彭", "曾", "肖", "田", "董", "袁", "潘", "于", "蒋", "蔡", "余", "杜", "叶", "程", "苏",
    "魏", "吕", "丁", "任", "沈", "姚", "卢", "姜", "崔", "钟", "谭", "陆", "汪", "范", "金"};
const std::vector<std::string> kGivenNames = {
    "伟",   "芳",   "娜",   "秀英", "敏",   "静",   "丽",   "强",   "磊",   "军",   "洋",
    "勇",   "艳",   "杰",   "娟",   "涛",   "明",   "超",   "秀兰", "霞",   "平",   "刚",
    "桂英", "建华", "建国", "志强", "海燕", "晓东", "晓明", "文杰", "子涵", "浩然", "宇航",
    "欣怡", "俊杰", "思远", "国栋", "立新", "春梅", "玉兰", "红梅", "学军", "德华", "永刚",
    "振华", "宏伟", "雪梅", "丹",   "鹏",   "斌",   "辉",   "波",   "峰",   "亮",   "琳",
    "颖",   "婷",   "慧",   "晨",   "凯",   "旭",   "毅",   "建军", "海涛", "丽娟", "志刚"};
const std::vector<std::string> kCities = {"北京", "天津", "廊坊", "保定", "石家庄"};
const std::vector<std::string> kTradeNames = {
    "顺达",   "恒通", "华运", "鑫盛", "宏远", "金桥", "安捷", "远航", "通利", "中联",
    "新世纪", "东方", "嘉禾", "瑞丰", "永兴", "广源", "天成", "博远", "众诚", "德润"};
const std::vector<std::string> kTrades = {"物流有限公司",     "运输有限公司", "汽车租赁有限公司",
                                          "建筑工程有限公司", "商贸有限公司", "出租汽车有限公司",
                                          "快递服务有限公司", "科技有限公司", "餐饮管理有限公司",
                                          "物业管理有限公司"};
const std::vector<std::string> kDistricts = {"朝阳区", "海淀区", "丰台区", "东城区", "西城区",
                                             "大兴区", "通州区", "昌平区", "顺义区", "房山区"};
const std::vector<std::string> kRoads = {"建国路",       "长安街",       "学院路",     "中关村大街",
                                         "望京街",       "亦庄路",       "京开路",     "通惠河北路",
                                         "回龙观西大街", "西直门外大街", "南三环西路", "北苑路"};
const std::vector<std::string> kColours = {"白色", "黑色", "银色",   "灰色",
                                           "红色", "蓝色", "香槟色", "棕色"};
const std::vector<std::string> kBeijingLetters = {"A", "B", "C", "E", "F", "G", "H",
                                                  "J", "K", "L", "M", "N", "P", "Q"};
// prefix + n with at least `width` digits: ("KH", 7, 6) -> "KH000007".
std::string Code(std::string_view prefix, int64_t n, size_t width) {
  std::string digits = std::to_string(n);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return std::string(prefix) + digits;
}

const char kPlateLetters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ";                // no I or O on plates
const char kChassisCharacters[] = "0123456789ABCDEFGHJKLMNPRSTUVWXYZ";  // no I, O or Q

// --- The generator.

struct Employee {
  int64_t id;
  std::string name;
  int64_t department;
};

struct Item {
  int64_t id;
  int64_t fen;
};

struct Part {
  int64_t id;
  int64_t fen;
  int minQuantity;
  int maxQuantity;
};

struct Customer {
  int64_t id;
  std::string person;  // who brings the car in: the customer, or a company's contact
  bool company;
};

struct Vehicle {
  int64_t id;
  std::string plate;
  size_t owner;
  size_t model;
  int64_t mileage;
};

class DemoWriter {
 public:
  DemoWriter(db::IDatabase& db, const DemoOptions& options, DemoCounts& counts,
             const DemoProgress& progress)
      : db_(db), options_(options), counts_(counts), progress_(progress), random_(options.seed) {}

  std::string Run() {
    db::Transaction transaction(db_);
    Departments();
    Employees();
    Accounts();
    SettlementMethods();
    Currencies();
    RepairCategories();
    RepairItems();
    Parts();
    Stock();
    Customers();
    Vehicles();
    Orders();
    floor_.seed = options_.seed;
    floor_.lastDay = DayNumber(options_.date);
    for (const Category& category : Categories()) floor_.categoryCodes.push_back(category.code);
    const FloorCounts floor = WriteDemoFloor(db_, floor_, error_);
    counts_.dispatches = floor.dispatches;
    counts_.clockRecords = floor.clockRecords;
    counts_.findings = floor.findings;
    ShopParticulars();
    if (!error_.empty()) {
      transaction.Fail(error_);
      return error_;
    }
    for (const auto& sql : CounterStatements()) {
      if (!transaction.Run(sql)) return transaction.Error();
    }
    if (!transaction.Commit()) return transaction.Error();
    return "";
  }

 private:
  std::string PersonName() { return random_.Pick(kSurnames) + random_.Pick(kGivenNames); }
  std::string Mobile() {
    static const std::vector<std::string> prefixes = {"13", "15", "18", "17", "19"};
    return random_.Pick(prefixes) + random_.Digits(9);
  }
  std::string Address() {
    return "北京市" + random_.Pick(kDistricts) + random_.Pick(kRoads) +
           std::to_string(random_.Between(1, 300)) + "号";
  }

  // The shop's own name, address, telephone and tax number, from a stream of their own.
  void ShopParticulars() {
    if (!error_.empty()) return;
    static const std::vector<std::string> names = {"顺驰", "安达", "畅行", "众诚", "利通", "恒信"};
    static const std::vector<std::string> roads = {"广渠路",     "东四环中路", "京通快速路辅路",
                                                   "南四环西路", "北清路",     "建材城西路"};
    static const char kTaxCharacters[] = "0123456789ABCDEFGHJKLMNPQRTUWXY";
    DemoRandom random(options_.seed ^ 0x5851f42d4c957f2dULL);
    platform::ShopInfo info;
    info.name = "北京" + random.Pick(names) + "汽车维修服务有限公司";
    info.address = "北京市" + random.Pick(kDistricts) + random.Pick(roads) +
                   std::to_string(random.Between(1, 300)) + "号";
    info.phone = "010-" + std::to_string(random.Between(6, 8)) + random.Digits(7);
    // A unified social credit code: "91" (a company), the area code, then ten characters.
    info.taxNumber = "91110" + std::to_string(random.Between(101, 115)) + "MA";
    while (info.taxNumber.size() < 18) {
      info.taxNumber += kTaxCharacters[random.Below(sizeof kTaxCharacters - 1)];
    }
    error_ = platform::SaveShopInfo(db_, info);
  }

  void Departments() {
    struct Row {
      const char* code;
      const char* name;
      int kind;
    };
    static const Row rows[] = {
        {"01", "前台接待", 1}, {"02", "维修车间", 1}, {"03", "钣喷车间", 1},
        {"04", "配件部", 1},   {"05", "财务部", 1},   {"06", "总经理室", 1},
        {"11", "配件总库", 2}, {"12", "油料库", 2},   {"13", "轮胎库", 2},
    };
    BulkInserter insert(db_, "PDMBM",
                        {"部门ID", "部门编码", "部门名称", "组织类型", "是否明细", "是否使用",
                         "属性", "不参与物料运算"},
                        error_);
    int64_t id = 0;
    for (const Row& row : rows) {
      ++id;
      insert.Id(id).Text(row.code).Text(row.name).Num(row.kind).Num(1).Num(1).Text("0").Num(0);
      insert.Row();
      departmentIds_[row.name] = id;
      if (row.kind == 2) depots_.push_back(id);
    }
    counts_.departments = insert.Rows();
  }

  void Employees() {
    struct Staff {
      const char* department;
      int count;
    };
    static const Staff staff[] = {{"总经理室", 1}, {"前台接待", 3}, {"维修车间", 6},
                                  {"钣喷车间", 3}, {"配件部", 2},   {"财务部", 2}};
    BulkInserter insert(db_, "PDMGY",
                        {"雇员ID", "雇员编码", "姓名", "部门ID", "是否技师", "登录账号"}, error_);
    std::set<std::string> used;
    int64_t id = 0;
    for (const Staff& s : staff) {
      for (int i = 0; i < s.count; ++i) {
        std::string name;
        do {
          name = PersonName();
        } while (!used.insert(name).second);
        ++id;
        const std::string code = Code("", id, 4);
        const int64_t department = departmentIds_[s.department];
        // The workshops' people are the technicians, each logging in to the tablets under
        // his own name.
        const bool bodyShop = std::string_view(s.department) == "钣喷车间";
        const bool technician = bodyShop || std::string_view(s.department) == "维修车间";
        insert.Id(id).Text(code).Text(name).Id(department).Num(technician ? 1 : 0);
        insert.Text(technician ? name : std::string()).Row();
        if (technician) floor_.technicians.push_back({id, name, bodyShop});
        Employee e{id, name, department};
        if (std::string_view(s.department) == "前台接待") receptionists_.push_back(e);
        if (std::string_view(s.department) == "总经理室") checkers_.push_back(e);
        if (std::string_view(s.department) == "配件部") staff_.storekeepers.push_back(e.name);
        if (std::string_view(s.department) == "财务部") staff_.cashiers.push_back(e.name);
      }
    }
    checkers_.push_back(receptionists_.front());  // the front-desk lead checks orders too
    counts_.employees = insert.Rows();
  }

  void Accounts() {
    struct Row {
      const char* code;
      const char* name;
      int cash;
      int leaf;
    };
    static const Row rows[] = {
        {"1001", "库存现金", 1, 1},   {"1002", "银行存款", 0, 0},     {"100201", "工商银行", 0, 1},
        {"100202", "建设银行", 0, 1}, {"100203", "农业银行", 0, 1},   {"1122", "应收账款", 0, 1},
        {"1405", "库存商品", 0, 1},   {"6001", "主营业务收入", 0, 0}, {"600101", "维修收入", 0, 1},
        {"600102", "配件收入", 0, 1}, {"6051", "其他业务收入", 0, 1},
    };
    BulkInserter insert(db_, "PDMKJKM",
                        {"科目ID", "科目编码", "科目名称", "是否现金科目", "是否明细"}, error_);
    int64_t id = 0;
    for (const Row& row : rows) {
      insert.Id(++id).Text(row.code).Text(row.name).Num(row.cash).Num(row.leaf).Row();
    }
    counts_.accounts = insert.Rows();
  }

  void SettlementMethods() {
    static const char* names[] = {"现金", "转账支票", "银行转账", "微信支付", "支付宝", "银行卡"};
    BulkInserter insert(db_, "PDMSJZD", {"ID", "编码", "名称", "类型"}, error_);
    int64_t id = 0;
    for (const char* name : names) {
      ++id;
      insert.Id(id).Text("0" + std::to_string(id)).Text(name).Text("结算方式").Row();
    }
    counts_.settlementMethods = insert.Rows();
  }

  void Currencies() {
    struct Row {
      const char* code;
      const char* name;
      double rate;
    };
    static const Row rows[] = {
        {"USD", "美元", 7.1}, {"HKD", "港币", 0.91}, {"EUR", "欧元", 7.8}, {"JPY", "日元", 0.048}};
    BulkInserter insert(db_, "PDMBZ", {"币种ID", "外币代号", "外币名称", "汇率"}, error_);
    int64_t id = db::kLocalCurrencyId;
    for (const Row& row : rows) insert.Id(++id).Text(row.code).Text(row.name).Num(row.rate).Row();
    counts_.currencies = insert.Rows();
  }

  void RepairCategories() {
    BulkInserter insert(db_, "pdmwxfl", {"维修分类ID", "编码", "维修分类", "说明"}, error_);
    int64_t id = 0;
    for (const Category& c : Categories()) {
      insert.Id(++id).Text(c.code).Text(c.name).Text(c.description).Row();
      categoryWeights_.push_back(c.weight);
    }
    counts_.categories = insert.Rows();
  }

  void RepairItems() {
    BulkInserter insert(
        db_, "PDMWXXM",
        {"AutoID", "编码", "维修项目", "项目属性", "参考价格", "保养月数", "保养公里", "工时"},
        error_);
    itemsByCategory_.resize(Categories().size());
    std::vector<int> perCategory(Categories().size(), 0);
    int64_t id = 0;
    for (const ItemTemplate& t : ItemTemplates()) {
      ++id;
      const int n = ++perCategory[static_cast<size_t>(t.category)];
      const std::string code = Code("XM", t.category + 1, 2) + Code("", n, 2);
      const int64_t fen = int64_t{t.yuan} * 100;
      insert.Id(id)
          .Text(code)
          .Text(t.name)
          .Text(t.attribute)
          .Fen(fen)
          .Num(t.serviceMonths)
          .Num(t.serviceKm)
          .Num(DemoStandardHours(t.yuan))
          .Row();
      floor_.standardHours[id] = DemoStandardHours(t.yuan);
      itemsByCategory_[static_cast<size_t>(t.category)].push_back(Item{id, fen});
    }
    counts_.items = insert.Rows();
  }

  void Parts() {
    BulkInserter insert(
        db_, "PDMCPML",
        {"产品ID", "物品编码", "物品名称", "规格", "库存单位", "是否需批次管理", "缺省货位", "颜色",
         "特性", "尺寸", "参考零售价", "参考进价", "参考批发价"},
        error_);
    partsByCategory_.resize(Categories().size());
    int64_t id = 0;
    for (const PartTemplate& t : PartTemplates()) {
      for (size_t v = 0; v < t.variants.size(); ++v) {
        ++id;
        const std::string code = Code("PJ", id, 5);
        const std::string location = std::string(1, static_cast<char>('A' + t.depot)) +
                                     Code("-", id % 20 + 1, 2) +
                                     Code("-", static_cast<int64_t>(v) + 1, 2);
        // Variants of one part differ in price: brands cost more or less than the first.
        const int64_t retail = std::max<int64_t>(
            1, (int64_t{t.yuan} * 100 * (100 + static_cast<int64_t>((v * 37) % 41) - 15)) / 100);
        const int64_t purchase = retail * random_.Between(60, 75) / 100;
        const int64_t wholesale = retail * 85 / 100;
        insert.Id(id)
            .Text(code)
            .Text(t.name)
            .Text(t.variants[v])
            .Text(t.unit)
            .Num(0)
            .Text(location)
            .Text("")
            .Text("")
            .Text("")
            .Fen(retail)
            .Fen(purchase)
            .Fen(wholesale)
            .Row();
        partsByCategory_[static_cast<size_t>(t.category)].push_back(
            Part{id, retail, t.minQuantity, t.maxQuantity});
        partStock_.push_back({id, depots_[static_cast<size_t>(t.depot)], purchase, location});
        chainStock_[id] = {depots_[static_cast<size_t>(t.depot)], 0, t.name, t.variants[v]};
      }
    }
    counts_.parts = insert.Rows();
  }

  void Stock() {
    const int period = db::PeriodOfDate(options_.date, db::kDefaultClosingDay);
    BulkInserter insert(db_, "JXCGoodsZzTz",
                        {"会计期间", "仓库ID", "产品ID", "货位", "等级", "特征码", "产品批次",
                         "库存数量", "库存重量", "库存金额"},
                        error_);
    for (const PartStock& s : partStock_) {
      const int64_t quantity = random_.Between(0, 120);
      chainStock_[s.part].quantity = static_cast<double>(quantity);
      insert.Id(period)
          .Id(s.depot)
          .Id(s.part)
          .Text(s.location)
          .Text("")
          .Text("")
          .Text("")
          .Num(static_cast<double>(quantity))
          .Num(0)
          .Fen(quantity * s.purchaseFen)
          .Row();
    }
    counts_.stockRows = insert.Rows();
  }

  void Customers() {
    const int64_t n = DemoCustomerCount(options_.orders);
    BulkInserter partners(
        db_, "pdmwldw",
        {"往来ID", "往来编码", "公司名称", "简称", "属性", "联系人", "电话", "地址"}, error_);
    BulkInserter receivables(
        db_, "PDMWLDWJS",
        {"往来ID", "往来编码", "公司名称", "简称", "属性", "联系人", "电话", "地址"}, error_);
    std::map<std::string, int> companyNames;
    customers_.reserve(static_cast<size_t>(n));
    for (int64_t id = 1; id <= n && error_.empty(); ++id) {
      const bool company = random_.Chance(0.3);
      std::string name;
      std::string shortName;
      const std::string contact = PersonName();
      if (company) {
        const std::string trade = random_.Pick(kTradeNames);
        name = random_.Pick(kCities) + trade + random_.Pick(kTrades);
        shortName = trade;
        // A second company of the same name is a branch: customers must be told apart.
        if (int branch = ++companyNames[name]; branch > 1) {
          name += "第" + std::to_string(branch) + "分公司";
        }
      } else {
        name = contact;
        shortName = contact;
      }
      const std::string code = Code("KH", id, 6);
      const std::string phone =
          company && random_.Chance(0.5)
              ? "010-" + std::to_string(random_.Between(6, 8)) + random_.Digits(7)
              : Mobile();
      const std::string address = Address();
      for (BulkInserter* insert : {&partners, &receivables}) {
        insert->Id(id).Text(code).Text(name).Text(shortName).Num(2).Text(contact).Text(phone).Text(
            address);
        insert->Row();
      }
      customers_.push_back(Customer{id, company ? contact : name, company});
    }
    counts_.customers = partners.Rows();
  }

  std::string Plate(std::unordered_set<std::string>& used) {
    for (;;) {
      std::string plate;
      const double r = random_.Unit();
      if (r < 0.8) {
        plate = "京" + random_.Pick(kBeijingLetters);
      } else if (r < 0.9) {
        plate = "冀" + std::string(1, static_cast<char>('A' + random_.Below(10)));
      } else if (r < 0.95) {
        plate = "津" + std::string(1, kPlateLetters[random_.Below(6)]);
      } else {
        static const std::vector<std::string> others = {"鲁", "晋", "蒙", "豫"};
        plate = random_.Pick(others) + std::string(1, kPlateLetters[random_.Below(8)]);
      }
      for (int i = 0; i < 5; ++i) {
        const bool letter = i > 0 && random_.Chance(0.15);
        plate += letter ? kPlateLetters[random_.Below(sizeof kPlateLetters - 1)]
                        : static_cast<char>('0' + random_.Below(10));
      }
      if (used.insert(plate).second) return plate;
    }
  }

  void Vehicles() {
    BulkInserter insert(db_, "clzl",
                        {"车辆ID", "车辆编号", "车牌号", "行驶证号", "发动机号", "车架号", "车型",
                         "车名", "颜色", "车主ID"},
                        error_);
    std::unordered_set<std::string> plates;
    std::vector<size_t> commercial;
    for (size_t m = 0; m < Models().size(); ++m) {
      if (Models()[m].commercial) commercial.push_back(m);
    }
    int64_t id = 0;
    for (size_t c = 0; c < customers_.size() && error_.empty(); ++c) {
      const int count = customers_[c].company ? static_cast<int>(random_.Between(1, 5))
                                              : (random_.Chance(0.1) ? 2 : 1);
      for (int k = 0; k < count; ++k) {
        ++id;
        const size_t model = customers_[c].company && random_.Chance(0.5)
                                 ? random_.Pick(commercial)
                                 : random_.Below(Models().size());
        const Model& m = Models()[model];
        std::string chassis = m.wmi;
        while (chassis.size() < 17) {
          chassis += kChassisCharacters[random_.Below(sizeof kChassisCharacters - 1)];
        }
        // Chinese VINs carry a check digit; one car in forty keeps a misread one, so the
        // vehicle list's VIN check has something to find.
        const char digit = framework::VinCheckDigit(chassis);
        chassis[8] = id % 40 == 0 ? (digit == '0' ? '1' : '0') : digit;
        std::string plate = Plate(plates);
        insert.Id(id)
            .Text(std::to_string(id))
            .Text(plate)
            .Text("11" + random_.Digits(10))
            .Text(std::string(m.enginePrefix) + random_.Digits(6))
            .Text(chassis)
            .Text(m.type)
            .Text(m.name)
            .Text(random_.Pick(kColours))
            .Id(customers_[c].id)
            .Row();
        vehicles_.push_back(Vehicle{id, std::move(plate), c, model, random_.Between(3000, 150000)});
      }
    }
    counts_.vehicles = insert.Rows();
  }

  // Picks up to n distinct entries of a pool.
  template <typename T>
  std::vector<const T*> Distinct(const std::vector<T>& pool, size_t n) {
    std::vector<const T*> out;
    n = std::min(n, pool.size());
    while (out.size() < n) {
      const T* candidate = &pool[random_.Below(pool.size())];
      if (std::find(out.begin(), out.end(), candidate) == out.end()) out.push_back(candidate);
    }
    return out;
  }

  void Orders() {
    const int64_t total = options_.orders;
    if (total <= 0 || !error_.empty()) return;
    const int64_t lastDay = DayNumber(options_.date);
    const int days = kDaysOfOrders * std::clamp(options_.years, 1, 30);
    const int64_t firstDay = lastDay - (days - 1);

    // Orders per day: fewer on weekends, some days busier than others. Order i falls on the
    // day where the running weight passes (i + 1/2) / total of the whole, so the orders of a
    // day are consecutive and ids ascend with the date.
    std::vector<double> cumulative(static_cast<size_t>(days));
    double sum = 0;
    for (int d = 0; d < days; ++d) {
      const int weekday = Weekday(firstDay + d);
      const double base = weekday == 0 ? 0.6 : (weekday == 6 ? 0.9 : 1.0);
      sum += base * (0.75 + 0.5 * random_.Unit());
      cumulative[static_cast<size_t>(d)] = sum;
    }

    BulkInserter order(
        db_, "WSDJ",
        {"单据ID",   "progid",     "smark",    "系统",     "工单号码", "车主ID",   "车辆ID",
         "主管部门", "车厂",       "进厂日期", "出厂日期", "送修人",   "司机电话", "公里数",
         "维修分类", "维修分类ID", "接待人",   "发票号码", "维修费用", "配件费用", "诊断费",
         "检测费",   "应收合计",   "总金额",   "现收金额", "补收金额", "扣零金额", "扣减金额",
         "余额",     "备注",       "制单人",   "制单日期", "审核人",   "审核日期", "ws_rowver"},
        error_);
    BulkInserter itemLine(
        db_, "WSDJXM", {"单据明细ID", "单据ID", "项目ID", "数量", "单价", "金额", "说明"}, error_);
    BulkInserter partLine(
        db_, "WSDJPJ",
        {"单据明细ID", "单据ID", "产品ID", "数量", "单价", "金额", "说明", "已领用数"}, error_);
    BulkInserter billNo(db_, "ws_billno", {"progid", "prefix", "last_no"}, error_);
    DemoChain chain(db_, error_, options_.seed, lastDay, staff_, chainStock_);

    static const std::vector<std::string> remarks = {"客户自带配件", "需复查", "保险理赔",
                                                     "老客户九折", "预约到店"};
    static const std::vector<std::string> partRemarks = {"原厂件", "品牌件", "客户指定"};
    int64_t itemLineId = 0;
    int64_t partLineId = 0;
    size_t day = 0;
    int64_t sequence = 0;
    int64_t currentDay = -1;
    auto closeDay = [&] {
      if (currentDay >= 0 && sequence > 0) {
        billNo.Id(kRepairOrderProgram).Text(Compact(DateOfDay(currentDay))).Id(sequence).Row();
      }
    };

    for (int64_t i = 0; i < total && error_.empty(); ++i) {
      const double target = (static_cast<double>(i) + 0.5) / static_cast<double>(total) * sum;
      while (day + 1 < cumulative.size() && cumulative[day] < target) ++day;
      const int64_t dayNumber = firstDay + static_cast<int64_t>(day);
      if (dayNumber != currentDay) {
        closeDay();
        currentDay = dayNumber;
        sequence = 0;
      }
      ++sequence;
      const int64_t orderId = i + 1;
      const db::Date dateIn = DateOfDay(dayNumber);
      const int64_t age = lastDay - dayNumber;
      const std::string number = Code(Compact(dateIn), sequence, 3);

      Vehicle& vehicle = vehicles_[random_.Below(vehicles_.size())];
      const Customer& owner = customers_[vehicle.owner];
      vehicle.mileage += random_.Between(1500, 9000);
      const size_t category = random_.Weighted(categoryWeights_);
      const Category& cat = Categories()[category];
      const Employee& receptionist = random_.Pick(receptionists_);

      // Labour items of the category, now and then one more of another.
      ChainOrder forChain;
      FloorOrder forFloor;
      int64_t labourFen = 0;
      const auto& itemPool = itemsByCategory_[category];
      auto items = Distinct(itemPool, static_cast<size_t>(random_.Between(1, 3)));
      if (random_.Chance(0.2)) {
        const auto& other = itemsByCategory_[random_.Below(itemsByCategory_.size())];
        const Item* extra = &random_.Pick(other);
        if (std::find(items.begin(), items.end(), extra) == items.end()) items.push_back(extra);
      }
      for (const Item* item : items) {
        const int64_t quantity = item->fen <= 5000 && random_.Chance(0.1) ? 2 : 1;
        // Regular customers are given a discount on labour now and then.
        const int64_t price = random_.Chance(0.8) ? item->fen : item->fen * 9 / 10;
        const int64_t amount = quantity * price;
        labourFen += amount;
        forChain.items.push_back({item->id, quantity, price, amount});
        forFloor.lines.push_back({itemLineId + 1, item->id, quantity});
        itemLine.Id(++itemLineId)
            .Id(orderId)
            .Id(item->id)
            .Num(static_cast<double>(quantity))
            .Fen(price)
            .Fen(amount)
            .Text("")
            .Row();
      }

      int64_t partsFen = 0;
      const auto& partPool = partsByCategory_[category];
      if (!partPool.empty()) {
        const size_t wanted = category == 0 ? static_cast<size_t>(random_.Between(2, 4))
                                            : static_cast<size_t>(random_.Between(0, 3));
        for (const Part* part : Distinct(partPool, wanted)) {
          const int64_t quantity = random_.Between(part->minQuantity, part->maxQuantity);
          const int64_t amount = quantity * part->fen;
          partsFen += amount;
          forChain.parts.push_back({partLineId + 1, part->id, quantity, part->fen, amount});
          partLine.Id(++partLineId)
              .Id(orderId)
              .Id(part->id)
              .Num(static_cast<double>(quantity))
              .Fen(part->fen)
              .Fen(amount)
              .Text(random_.Chance(0.1) ? random_.Pick(partRemarks) : std::string())
              .Num(0)
              .Row();
        }
      }

      const bool diagnosed = (category == 1 || category == 3) && random_.Chance(0.5);
      const int64_t diagnosisFen = diagnosed ? random_.Between(1, 3) * 5000 : 0;
      const int64_t inspectionFen = random_.Chance(0.15) ? (random_.Chance(0.5) ? 8000 : 12000) : 0;
      const int64_t receivableFen = labourFen + partsFen + diagnosisFen + inspectionFen;

      // Older orders are checked; the last week's are often still open, some cars still in.
      const bool checked = age > 7 ? random_.Chance(0.95) : random_.Chance(0.3);
      const int64_t stay = random_.Chance(0.6) ? 0 : random_.Between(1, 4);
      const bool stillIn = !checked && random_.Chance(0.5);
      const db::Date dateOut =
          stillIn ? db::Date{1900, 1, 1} : DateOfDay(std::min(dayNumber + stay, lastDay));
      const std::string person = owner.company || random_.Chance(0.2) ? PersonName() : owner.person;
      // Drawn in the order the row once drew them inline, so a seed keeps its orders.
      const std::string phone = Mobile();
      const std::string invoice =
          checked && random_.Chance(0.4) ? "No." + random_.Digits(8) : std::string();
      const std::string remark = random_.Chance(0.05) ? random_.Pick(remarks) : std::string();
      const Employee* checker = checked ? &random_.Pick(checkers_) : nullptr;

      forChain.id = orderId;
      forChain.ownerId = owner.id;
      forChain.checkDay = !checked ? -1 : (stillIn ? dayNumber : DayNumber(dateOut));
      forChain.number = number;
      forChain.plate = vehicle.plate;
      forChain.remark = remark;
      forChain.labourFen = labourFen;
      forChain.partsFen = partsFen;
      forChain.diagnosisFen = diagnosisFen;
      forChain.inspectionFen = inspectionFen;
      forChain.receivableFen = receivableFen;
      const ChainEffect effect = chain.Plan(dayNumber, forChain);
      if (age < kFloorDays) {
        forFloor.orderId = orderId;
        forFloor.arrivalDay = dayNumber;
        forFloor.checkDay = forChain.checkDay;
        forFloor.bodyShop = std::string_view(cat.code) == "05";
        floor_.orders.push_back(std::move(forFloor));
      }

      order.Id(orderId)
          .Id(kRepairOrderProgram)
          .Text(checked ? "02" : "01")
          .Text(checked ? "审核" : "填单")
          .Text(number)
          .Id(customers_[vehicle.owner].id)
          .Id(vehicle.id)
          .Text(cat.department)
          .Text(Models()[vehicle.model].maker)
          .Date(dateIn)
          .Date(dateOut)
          .Text(person)
          .Text(phone)
          .Num(static_cast<double>(vehicle.mileage))
          .Text(cat.name)
          .Id(static_cast<int64_t>(category) + 1)
          .Text(receptionist.name)
          .Text(invoice)
          .Fen(labourFen)
          .Fen(partsFen)
          .Fen(diagnosisFen)
          .Fen(inspectionFen)
          .Fen(receivableFen)
          .Fen(receivableFen)
          .Num(0)
          .Num(effect.collected)
          .Num(0)
          .Num(0)
          .Num(static_cast<double>(receivableFen) / 100.0 - effect.collected)
          .Text(remark)
          .Text(receptionist.name)
          .Date(dateIn);
      if (checker) {
        order.Text(checker->name).Date(stillIn ? dateIn : dateOut);
      } else {
        order.Text("").Null();
      }
      order.Id(effect.rowVersion).Row();

      if (progress_ && ((i + 1) % 1000 == 0 || i + 1 == total)) progress_(i + 1, total);
      if ((i + 1) % 1000 == 0 && options_.cancelled && options_.cancelled()) {
        error_ = kDemoCancelled;
        return;
      }
    }
    closeDay();
    chain.Finish();
    static_cast<ChainCounts&>(counts_) = chain.Counts();
    counts_.orders = order.Rows();
    counts_.itemLines = itemLine.Rows();
    counts_.partLines = partLine.Rows();
  }

  static std::string Compact(const db::Date& date) {
    return Code("", date.year, 4) + Code("", date.month, 2) + Code("", date.day, 2);
  }

  // Raises every id counter of a table the demo wrote to its highest key.
  std::vector<db::Sql> CounterStatements() const {
    static const char* tables[] = {"PDMBM",         "PDMGY",       "PDMKJKM",       "PDMSJZD",
                                   "PDMBZ",         "pdmwxfl",     "PDMWXXM",       "PDMCPML",
                                   "pdmwldw",       "PDMWLDWJS",   "clzl",          "WSDJ",
                                   "WSDJXM",        "WSDJPJ",      "JXCDJ",         "JXCDJMX",
                                   "JxcGoodsList",  "ARPReceive",  "ARPReceive_XM", "ARPReceive_PJ",
                                   "ARPReceiveMx",  "gl_accvouch", "ws_job_tech",   "ws_clock",
                                   "ws_check_item", "ws_finding",  "ws_suggestion"};
    std::vector<db::Sql> out;
    for (const char* name : tables) {
      const db::TableDef* table = db::FindTable(name);
      // The settlement's check asks for voucher ids under the column's own spelling.
      const std::string key = table->name == "gl_accvouch" ? "AutoID" : table->primaryKey.front();
      out.push_back(AdvanceIdCounterStatement(table->name, key));
    }
    return out;
  }

  struct PartStock {
    int64_t part;
    int64_t depot;
    int64_t purchaseFen;
    std::string location;
  };

  db::IDatabase& db_;
  const DemoOptions& options_;
  DemoCounts& counts_;
  const DemoProgress& progress_;
  DemoRandom random_;
  std::string error_;

  std::map<std::string, int64_t> departmentIds_;
  std::vector<int64_t> depots_;
  std::vector<Employee> receptionists_;
  std::vector<Employee> checkers_;
  std::vector<int> categoryWeights_;
  std::vector<std::vector<Item>> itemsByCategory_;
  std::vector<std::vector<Part>> partsByCategory_;
  std::vector<PartStock> partStock_;
  std::map<int64_t, ChainStock> chainStock_;
  ChainStaff staff_;
  std::vector<Customer> customers_;
  std::vector<Vehicle> vehicles_;
  DemoFloor floor_;
};

}  // namespace

int64_t DemoCustomerCount(int64_t orders) {
  return std::max<int64_t>(30, orders / 6);
}

std::string GenerateDemoData(db::IDatabase& db, const DemoOptions& options, DemoCounts* counts,
                             const DemoProgress& progress) {
  DemoCounts local;
  DemoCounts& out = counts ? *counts : local;
  out = DemoCounts{};
  return DemoWriter(db, options, out, progress).Run();
}

std::string CreateDemoDatabase(const std::string& name, const DemoOptions& options,
                               DemoCounts* counts, const DemoProgress& progress,
                               const std::function<void()>& onIndexes) {
  NewShopDatabase target(name, true);
  if (std::string error = target.Open(); !error.empty()) return error;
  db::IDatabase& database = target.Db();
  // A new file is private until it is renamed into place: a lost write only loses this run,
  // so the build skips the syncs and keeps its rollback journal in memory.
  if (auto* file = target.Sqlite()) {
    if (db::Status status = file->ExecScript(
            "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF; PRAGMA cache_size=-131072");
        !status) {
      return status.Error();
    }
  }
  {
    db::Transaction transaction(database);
    for (const auto& statement : CatalogueTableStatements(options.date, target.Engine())) {
      if (!transaction.Run(statement)) break;
    }
    if (transaction.Failed()) return "cannot create the tables: " + transaction.Error();
    if (std::string error = GenerateDemoData(database, options, counts, progress); !error.empty()) {
      return "cannot write the demo data: " + error;
    }
    if (onIndexes) onIndexes();
    for (const auto& statement : CatalogueIndexStatements(target.Engine())) {
      if (!transaction.Run(statement)) break;
    }
    // The planner's statistics of the filled tables (the server takes its own in Finish):
    // without them it cannot tell an owner's few orders from an item's many lines.
    if (target.Sqlite() && !transaction.Failed()) transaction.Run(db::Sql("ANALYZE"));
    if (transaction.Failed() || !transaction.Commit()) {
      return "cannot build the indexes: " + transaction.Error();
    }
  }
  if (auto* file = target.Sqlite()) {
    if (db::Status status = file->ExecScript("PRAGMA journal_mode=WAL"); !status) {
      return status.Error();
    }
  }
  return target.Finish();
}

}  // namespace ws::shop
