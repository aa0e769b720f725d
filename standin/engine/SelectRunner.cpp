#include "SelectRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "Collation.h"
#include "Messages.h"

namespace standin {

namespace {

Message runtimeError(int32_t number, uint8_t severity, std::string text) {
    return Messages::error(number, severity, 1, std::move(text));
}

using Failure = EvalFailure;

bool isCount(const SelectItem& item) {
    return !item.star && item.expr.kind == Expr::Kind::Function && item.expr.name == "COUNT";
}

// One SELECT, step by step: the rows that pass WHERE, the output columns, the ORDER BY keys,
// then the rows themselves. Every step throws Failure.
class Execution {
public:
    Execution(const SelectStatement& select, const EvalContext& context, const ResultSet* table)
        : select_(select), context_(context), table_(table), ev_(context, table) {}

    void run(ResultSet& out) {
        checkNames();
        filterRows();
        const bool aggregate = std::any_of(select_.items.begin(), select_.items.end(), isCount);
        if (aggregate) checkAggregate();
        planColumns(out);
        planKeys(out);
        if (aggregate) {
            std::vector<Value> r;
            for (const OutCol& p : plan_) {
                r.push_back(p.count ? Value::integer(static_cast<int64_t>(rows_.size()))
                                    : ev_.scalar(*p.expr, nullptr).value);
            }
            out.rows.push_back(std::move(r));
        } else {
            buildRows(out);
        }
        if (select_.assigns) assign(out);
    }

private:
    // How each output column is computed.
    struct OutCol {
        int tableIndex = -1;  // copy of a table column
        const Expr* expr = nullptr;
        bool count = false;
    };
    // ORDER BY keys refer to output columns (by name or position) or to table columns.
    struct Key {
        int outIndex = -1;
        int tableIndex = -1;
        bool desc = false;
    };
    struct Built {
        std::vector<Value> out;
        const std::vector<Value>* source;
    };

    // Names are checked before any row is read, so a bad column fails even over an empty table.
    void checkNames() const {
        for (const SelectItem& item : select_.items) {
            if (item.star && !table_) {
                throw Failure{runtimeError(263, 16, "Must specify table to select from.")};
            }
            if (!item.star) ev_.check(item.expr);
        }
        if (select_.where) ev_.check(*select_.where);
    }

    // Rows of the table that pass WHERE (one empty row without FROM).
    void filterRows() {
        static const std::vector<Value> noRow;
        if (table_) {
            for (const auto& r : table_->rows) {
                if (!select_.where || ev_.truth(*select_.where, &r)) rows_.push_back(&r);
            }
        } else if (!select_.where || ev_.truth(*select_.where, nullptr)) {
            rows_.push_back(&noRow);
        }
    }

    void checkAggregate() const {
        for (const SelectItem& item : select_.items) {
            if (isCount(item)) continue;
            if (item.star || item.expr.kind == Expr::Kind::Column) {
                const std::string col =
                    item.star ? (table_ && !table_->columns.empty() ? table_->columns[0].name : "*")
                              : item.expr.name;
                throw Failure{runtimeError(
                    8118, 16,
                    "Column '" + col +
                        "' is invalid in the select list because it is not contained in an "
                        "aggregate function and there is no GROUP BY clause.")};
            }
        }
    }

    void planColumns(ResultSet& out) {
        out.columns.clear();
        out.rows.clear();
        for (const SelectItem& item : select_.items) {
            if (item.star) {
                for (size_t i = 0; i < table_->columns.size(); ++i) {
                    out.columns.push_back(table_->columns[i]);
                    plan_.push_back(OutCol{static_cast<int>(i), nullptr, false});
                }
                continue;
            }
            Column c;
            if (isCount(item)) {
                c = Column{"", ColType::Int, 0, false};
                plan_.push_back(OutCol{-1, nullptr, true});
            } else {
                c = ev_.scalar(item.expr, rows_.empty() ? nullptr : rows_.front()).column;
                if (item.expr.kind == Expr::Kind::Column) {
                    c = table_->columns[static_cast<size_t>(ev_.columnIndex(item.expr.name))];
                }
                plan_.push_back(OutCol{-1, &item.expr, false});
            }
            c.name =
                item.hasAlias ? item.alias : (item.expr.kind == Expr::Kind::Column ? c.name : "");
            out.columns.push_back(c);
        }
    }

    void planKeys(const ResultSet& out) {
        for (const OrderItem& o : select_.orderBy) {
            Key k;
            k.desc = o.descending;
            if (o.position > 0) {
                if (static_cast<size_t>(o.position) > out.columns.size()) {
                    throw Failure{runtimeError(
                        108, 15,
                        "The ORDER BY position number " + std::to_string(o.position) +
                            " is out of range of the number of items in the select list.")};
                }
                k.outIndex = o.position - 1;
            } else {
                k.outIndex = aliasPosition(o.column);
                if (k.outIndex < 0) {
                    k.tableIndex = ev_.columnIndex(o.column);
                    if (k.tableIndex < 0) {
                        throw Failure{
                            runtimeError(207, 16, "Invalid column name '" + o.column + "'.")};
                    }
                }
            }
            keys_.push_back(k);
        }
    }

    // Position among the output columns of the item aliased `name`, or -1.
    int aliasPosition(const std::string& name) const {
        int found = -1;
        for (size_t i = 0; i < select_.items.size(); ++i) {
            if (select_.items[i].hasAlias && Collation::equal(select_.items[i].alias, name)) {
                size_t pos = 0;
                for (size_t j = 0; j < i; ++j)
                    pos += select_.items[j].star ? table_->columns.size() : 1;
                found = static_cast<int>(pos);
            }
        }
        return found;
    }

    void buildRows(ResultSet& out) {
        std::vector<Built> built;
        built.reserve(rows_.size());
        for (const std::vector<Value>* r : rows_) {
            Built b;
            b.source = r;
            for (const OutCol& p : plan_) {
                b.out.push_back(p.tableIndex >= 0 ? (*r)[static_cast<size_t>(p.tableIndex)]
                                                  : ev_.scalar(*p.expr, r).value);
            }
            built.push_back(std::move(b));
        }
        if (!keys_.empty()) {
            std::stable_sort(built.begin(), built.end(),
                             [&](const Built& a, const Built& b) { return before(a, b); });
        }
        if (select_.top && built.size() > static_cast<uint64_t>(*select_.top))
            built.resize(static_cast<size_t>(*select_.top));
        for (Built& b : built) out.rows.push_back(std::move(b.out));
    }

    bool before(const Built& a, const Built& b) const {
        for (const Key& k : keys_) {
            TypedValue x, y;
            if (k.outIndex >= 0) {
                x.value = a.out[static_cast<size_t>(k.outIndex)];
                y.value = b.out[static_cast<size_t>(k.outIndex)];
            } else {
                x.value = (*a.source)[static_cast<size_t>(k.tableIndex)];
                y.value = (*b.source)[static_cast<size_t>(k.tableIndex)];
            }
            const bool xn = x.value.kind == Value::Kind::Null;
            const bool yn = y.value.kind == Value::Kind::Null;
            int c = 0;
            if (xn || yn) {
                c = xn == yn ? 0 : xn ? -1 : 1;  // NULLs sort first
            } else {
                c = *ev_.compare(x, y);
            }
            if (c != 0) return k.desc ? c > 0 : c < 0;
        }
        return false;
    }

    // SELECT @v = ...: every row read assigns its values in turn, so the last one stays.
    void assign(ResultSet& out) const {
        for (std::vector<Value>& row : out.rows) {
            for (size_t i = 0; i < select_.items.size(); ++i) {
                Message err;
                if (!context_.assign(select_.items[i].assignTo, TypedValue{row[i], out.columns[i]},
                                     err))
                    throw Failure{err};
            }
            row.clear();
        }
        out.columns.clear();
    }

    const SelectStatement& select_;
    const EvalContext& context_;
    const ResultSet* table_;
    ExprEvaluator ev_;
    std::vector<const std::vector<Value>*> rows_;
    std::vector<OutCol> plan_;
    std::vector<Key> keys_;
};

}  // namespace

bool SelectRunner::run(const SelectStatement& select, const EvalContext& context, ResultSet& out,
                       Message& error) {
    try {
        std::optional<ResultSet> table;
        if (select.from) {
            table = context.table(*select.from, error);
            if (!table) return false;
        }
        Execution(select, context, table ? &*table : nullptr).run(out);
        return true;
    } catch (const Failure& f) {
        error = f.message;
        return false;
    }
}

}  // namespace standin
