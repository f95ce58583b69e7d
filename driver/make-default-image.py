#!/usr/bin/env python3
"""Writes the default register image (driver/default-image.json) and the matching
model description (models/57.json) from one list of tables, so that the two
always agree. Run from anywhere: python3 driver/make-default-image.py"""

import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

WIDTHS = {"bin1": 1, "bin2": 2, "bin2_big_endian": 2, "bin4": 4, "bin6": 6, "bcd1": 1, "bcd2": 2,
          "bcd3": 3, "bcd4": 4, "bcd5": 5, "bcd6": 6, "bcd8": 8, "bcd64_1": 64}

NO_YES = [{"value": 0, "name": "Нет"}, {"value": 1, "name": "Да"}]
TAXES = [{"value": 0, "name": "Без НДС"}, {"value": 1, "name": "НДС 20%"}, {"value": 2, "name": "НДС 10%"},
         {"value": 3, "name": "НДС 0%"}, {"value": 4, "name": "НДС 20/120"}, {"value": 5, "name": "НДС 10/110"}]


def field(name, device, gui, **extra):
    f = {"name": name, "deviceType": device, "guiType": gui}
    f.update(extra)
    return f


def width(f):
    if f["deviceType"] in ("string866", "ascii"):
        return f["maxLength"]
    return WIDTHS[f["deviceType"]]


def cell(f, value):
    """The image form of a value: typed where it reads well, hex otherwise."""
    device = f["deviceType"]
    if device in ("string866", "ascii"):
        return {"text": value}
    if device.startswith("bcd") and device != "bcd64_1":
        return {"bcd": value}
    if device == "bcd64_1":
        return "%02X" % value
    if device == "bin4" and f.get("ip_address"):
        return "".join("%02X" % int(p) for p in value.split("."))
    if device == "bin6":
        return value.replace(":", "").upper()
    return {"uint": value}


class Lcg:
    def __init__(self, seed):
        self.state = seed

    def next(self, bound):
        self.state = (self.state * 1103515245 + 12345) % (1 << 31)
        return self.state % bound


def ean13(body12):
    digits = [int(c) for c in body12]
    total = sum(d * (3 if i % 2 else 1) for i, d in enumerate(digits))
    return body12 + str((10 - total % 10) % 10)


def goods():
    products = [("Молоко", 7990), ("Кефир", 8490), ("Хлеб белый", 4590), ("Хлеб ржаной", 5290),
                ("Батон нарезной", 4890), ("Сыр Российский", 18990), ("Масло сливочное", 21990),
                ("Сметана", 9990), ("Творог", 12990), ("Йогурт клубничный", 5990), ("Яйцо куриное С1", 11990),
                ("Гречка", 10990), ("Рис круглозёрный", 9490), ("Макароны", 7990), ("Сахар", 8990),
                ("Соль поваренная", 2490), ("Чай чёрный", 15990), ("Кофе молотый", 45990),
                ("Печенье овсяное", 8990), ("Шоколад молочный", 9990), ("Сок яблочный", 12990),
                ("Вода минеральная", 5990), ("Колбаса докторская", 49990), ("Сосиски молочные", 32990),
                ("Курица охлаждённая", 27990), ("Картофель", 4990), ("Морковь", 5990), ("Лук репчатый", 3990),
                ("Яблоки", 12990), ("Бананы", 11990)]
    variants = [("", 100), (" 0,5 кг", 55), (" 1 кг", 100), (" фас.", 90), (" №2", 95), (" вес.", 100),
                (" эконом", 75), (" премиум", 160), (" акция", 85), (" 2 шт.", 190)]
    rows = []
    rnd = Lcg(57)
    code = 1
    for variant, factor in variants:
        for name, price in products:
            barcode = ean13("460%09d" % (1000000 + code * 7919 % 900000))
            rows.append([code, (name + variant)[:40], price * factor // 100 // 10 * 10, int(barcode),
                         1 + rnd.next(2) if name not in ("Хлеб белый", "Молоко") else 2,
                         1 + rnd.next(8), rnd.next(500), 0])
            code += 1
    return rows


def tables():
    ts = []
    ts.append({
        "id": 1, "name": "База товаров", "type": "db", "fastRead": True,
        "fields": [
            field("Код", "bcd3", "int", min=1, max=999999, read_only=True),
            field("Наименование", "string866", "string", maxLength=40, fillCharCode=32),
            field("Цена", "bcd5", "money", min=0, max=99999999.99),
            field("Штрихкод", "bcd8", "string_masked", mask="0000000000000"),
            field("Налог", "bin1", "list", items=TAXES),
            field("Отдел", "bin1", "int", min=0, max=16),
            field("Остаток", "bin4", "int", min=0, max=2147483647),
            field("Зарезервировано", "bin2", "int", min=0, max=65535, read_only=True),
        ],
        "rows": goods(),
    })
    ts.append({
        "id": 2, "name": "Режимы работы", "type": "list",
        "fields": [
            field("Номер кассы в магазине", "bin1", "int", min=1, max=99),
            field("Автоматическое обнуление денежной наличности", "bin1", "list", items=NO_YES),
            field("Печать рекламного текста", "bin1", "list", items=NO_YES),
            field("Звуковой сигнал при ошибке", "bin1", "list", items=NO_YES),
            field("Открывать денежный ящик при закрытии чека", "bin1", "list", items=NO_YES),
            field("Таймаут ожидания ответа, мс", "bin2_big_endian", "int", min=100, max=60000),
            field("Межстрочный интервал", "bcd1", "int", min=0, max=15),
            field("Пароль кассира", "bcd2", "string_masked", mask="9999"),
            field("Пароль системного администратора", "bcd4", "int", min=0, max=99999999),
            field("Телефон для справок", "string866", "string_masked", maxLength=16, fillCharCode=32,
                  mask="+7(999)999-99-99"),
            field("Зарезервировано", "bin2", "int", min=0, max=65535, read_only=True),
            field("Версия таблицы настроек", "bcd64_1", "int", min=0, max=9, read_only=True),
            field("Режим округления", "bin1", "list",
                  items=[{"value": 0, "name": "Без округления"}, {"value": 1, "name": "До 10 копеек"},
                         {"value": 2, "name": "До 50 копеек"}, {"value": 3, "name": "До рубля"}]),
            field("Максимальная сумма чека", "bcd6", "money", min=0, max=9999999999.99),
        ],
        "rows": [[1, 0, 1, 1, 1, 3000, 3, 1030, 30, "+7(495)123-45-67", 0, 3, 0, 10000000]],
    })
    ts.append({
        "id": 6, "name": "Налоговые ставки", "type": "db",
        "row_names": ["Налог 1", "Налог 2", "Налог 3", "Налог 4", "Налог 5", "Налог 6"],
        "read_only_rows": [3, 4],
        "fields": [
            field("Ставка, %", "bin2", "money", min=0, max=100),
            field("Наименование налога", "string866", "string", maxLength=30, fillCharCode=32),
            field("Зарезервировано", "bin1", "int", min=0, max=255, read_only=True),
        ],
        "rows": [[2000, "НДС 20%", 0], [1000, "НДС 10%", 0], [0, "НДС 0%", 0], [0, "Без НДС", 0],
                 [2000, "НДС 20/120", 0], [1000, "НДС 10/110", 0]],
    })
    ts.append({
        "id": 5, "name": "Типы оплаты", "type": "db",
        "row_names": ["Тип 1", "Тип 2", "Тип 3", "Тип 4", "Тип 5", "Тип 6", "Тип 7", "Тип 8"],
        "read_only_rows": [1],
        "fields": [
            field("Наименование", "string866", "string", maxLength=20, fillCharCode=0),
            field("Разрешён", "bin1", "list", items=NO_YES),
            field("Способ расчёта", "bin1", "list",
                  items=[{"value": 1, "name": "Полный расчёт"}, {"value": 2, "name": "Предоплата"},
                         {"value": 3, "name": "Аванс"}, {"value": 4, "name": "Кредит"}]),
        ],
        "rows": [["НАЛИЧНЫМИ", 1, 1], ["БЕЗНАЛИЧНЫМИ", 1, 1], ["ПРЕДОПЛАТА", 1, 2], ["АВАНС", 1, 3],
                 ["В КРЕДИТ", 0, 4], ["ПОДАРОЧНАЯ КАРТА", 1, 1], ["БОНУСЫ", 0, 1], ["", 0, 1]],
    })
    cliche = ["ООО \"ВЕСКОР-ТОРГ\"", "г. Москва, ул. Лесная, д. 5", "ИНН 7701234567",
              "Тел. +7 (495) 123-45-67", "СПАСИБО ЗА ПОКУПКУ!", "Режим работы: 8:00—22:00"]
    ts.append({
        "id": 4, "name": "Клише", "type": "transposedList",
        "fields": [field("Строка клише %d" % (i + 1), "string866", "string", maxLength=48, fillCharCode=32,
                         cliche=True) for i in range(len(cliche))],
        "rows": [[line] for line in cliche],
    })
    ts.append({
        "id": 16, "name": "Сетевые настройки", "type": "list",
        "fields": [
            field("IP-адрес", "bin4", "string", ip_address=True),
            field("Маска подсети", "bin4", "string", ip_address=True),
            field("Шлюз", "bin4", "string", ip_address=True),
            field("Порт", "bin2", "int", min=1, max=65535),
            field("MAC-адрес", "bin6", "string", read_only=True),
            field("DHCP", "bin1", "list", items=[{"value": 0, "name": "Выкл"}, {"value": 1, "name": "Вкл"}]),
            field("Имя в сети", "ascii", "string", maxLength=16),
        ],
        "rows": [["192.168.1.100", "255.255.255.0", "192.168.1.1", 5555, "00:1a:2b:3c:4d:5e", 0, "kassa-57"]],
    })
    ts.append({
        "id": 15, "name": "Параметры ОФД", "type": "list",
        "fields": [
            field("Адрес сервера ОФД", "string866", "string", maxLength=64, fillCharCode=32),
            field("Порт сервера ОФД", "bin2", "int", min=1, max=65535),
            field("Таймаут, с", "bcd1", "int", min=1, max=99),
        ],
        "rows": [["ofd.vescor-test.ru", 7777, 60]],
    })
    departments = ["Бакалея", "Молочные продукты", "Хлеб", "Овощи и фрукты", "Мясо", "Напитки", "Кондитерские",
                   "Бытовая химия", "Заморозка", "Кулинария", "Рыба", "Детское питание", "Чай и кофе",
                   "Консервы", "Хозтовары", "Прочее"]
    rnd = Lcg(16)
    ts.append({
        "id": 7, "name": "Отделы", "type": "db",
        "fields": [
            field("Наименование отдела", "string866", "string", maxLength=24, fillCharCode=32),
            field("Налог по умолчанию", "bin1", "list", items=TAXES),
            field("Лимит суммы чека", "bcd6", "money", min=0, max=9999999999.99),
            field("Зарезервировано", "bcd2", "int", min=0, max=9999, read_only=True),
        ],
        "rows": [[d, 1 + rnd.next(2), (10 + rnd.next(90)) * 100000, 0] for d in departments],
    })
    return ts


def model_file(ts):
    out = []
    for t in ts:
        m = {k: v for k, v in t.items() if k != "rows"}
        m["fields"] = [dict({"id": i + 1}, **f) for i, f in enumerate(t["fields"])]
        out.append(m)
    return {"device": {"configuration": 25}, "tables": out}


def image_table(t):
    fields = t["fields"]
    if t.get("type") == "transposedList":
        # One register field, one row per line.
        layout = [fields[0]]
    else:
        layout = fields
    image_fields = []
    for f in layout:
        entry = {"name": f["name"], "width": width(f)}
        if f["deviceType"] == "string866":
            entry["text"] = True
            entry["fill"] = f.get("fillCharCode", 32)
        image_fields.append(entry)
    rows = [[cell(layout[c], v) for c, v in enumerate(row)] for row in t["rows"]]
    return {"id": t["id"], "name": t["name"], "fields": image_fields, "rows": rows}


def write_image(path, ts):
    head = {
        "identity": {"modelCode": 57, "modelName": "Вескор-Эмулятор 57", "serialNumber": "0057000001",
                     "firmware": "3.0.25", "fiscal": True},
        "drawer": True,
    }
    dump = lambda v: json.dumps(v, ensure_ascii=False)
    lines = ["{"]
    for key, value in head.items():
        lines.append(" %s: %s," % (dump(key), dump(value)))
    lines.append(' "faults": [],')
    lines.append(' "tables": [')
    tables_text = []
    for t in ts:
        it = image_table(t)
        text = "  {\n"
        text += "   \"id\": %d,\n   \"name\": %s,\n" % (it["id"], dump(it["name"]))
        text += "   \"fields\": [\n" + ",\n".join("    " + dump(f) for f in it["fields"]) + "\n   ],\n"
        text += "   \"rows\": [\n" + ",\n".join("    " + dump(r) for r in it["rows"]) + "\n   ]\n  }"
        tables_text.append(text)
    lines.append(",\n".join(tables_text))
    lines.append(" ]")
    lines.append("}")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def main():
    ts = tables()
    write_image(os.path.join(HERE, "default-image.json"), ts)
    with open(os.path.join(ROOT, "models", "57.json"), "w", encoding="utf-8") as f:
        json.dump(model_file(ts), f, ensure_ascii=False, indent=1)
        f.write("\n")


if __name__ == "__main__":
    main()
